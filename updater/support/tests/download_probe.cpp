// Downloads one address into one file with telechargefichier, then prints the result, the
// time taken and the process's peak memory:
//   download_probe URL DESTINATION
// The exit code is the routine's result (1 downloaded, 0 not).
#include "internet.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    const int resultat = libmaj::telechargefichier(argv[1], argv[2]);
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
