// Downloads one address into one file with telechargefichier, or, given the file's signed
// size and SHA-256, as a signed run does (hashed as it streams, then installed); then prints
// the result, the time taken and the process's peak memory:
//   download_probe URL DESTINATION [SIZE SHA256]
// The exit code is the routine's result (1 downloaded, 0 not).
#include "internet.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 5)
        return 2;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    int resultat = 0;
    if (argc == 5) {
        libmaj::Arrivee arrivee = libmaj::telechargeverifie(argv[1], argv[2], {std::strtoull(argv[3], nullptr, 10), argv[4]});
        resultat = arrivee.place() ? 1 : 0;
    } else {
        resultat = libmaj::telechargefichier(argv[1], argv[2]);
    }
    QueryPerformanceCounter(&t1);
    PROCESS_MEMORY_COUNTERS memoire = {};
    memoire.cb = sizeof memoire;
    GetProcessMemoryInfo(GetCurrentProcess(), &memoire, sizeof memoire);
    std::printf("result %d seconds %.3f peak-working-set-bytes %llu peak-private-bytes %llu\n", resultat,
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart),
                static_cast<unsigned long long>(memoire.PeakWorkingSetSize),
                static_cast<unsigned long long>(memoire.PeakPagefileUsage));
    return resultat;
}
