// Downloads one address into one file with telechargefichier, or, given the file's signed
// size and SHA-256, as a signed run does (hashed as it streams, then installed), or with
// "--bare" as the plainest use of the platform's stack does (one synchronous request, 256 KiB
// reads written straight to the file: the yardstick); then prints the result, the time taken
// and the process's peak memory:
//   download_probe [--bare] URL DESTINATION [SIZE SHA256]
// The exit code is the routine's result (1 downloaded, 0 not).
#include "internet.h"

#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int bare(const char* url, const char* destination)
{
    libmaj::PoigneeInternet session(InternetOpenA("OPEN_INTERNET", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    libmaj::PoigneeInternet request(session ? InternetOpenUrlA(session.get(), url, nullptr, 0,
                                                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                                            : nullptr);
    libmaj::PoigneeFichier file(CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!request || file.get() == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        DWORD read = 0, written = 0;
        if (!InternetReadFile(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read))
            return 0;
        if (read == 0)
            return 1;
        if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read)
            return 0;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool plainest = argc > 1 && std::strcmp(argv[1], "--bare") == 0;
    if (plainest) {
        --argc;
        ++argv;
    }
    if (argc != 3 && argc != 5)
        return 2;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    int resultat = 0;
    if (plainest) {
        resultat = bare(argv[1], argv[2]);
    } else if (argc == 5) {
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
