// Downloads one address into one file with telechargefichier, or, given the file's signed
// size and SHA-256, as a signed run does (hashed as it streams, then installed), or with
// "--bare" as the plainest use of the platform's stack does (one synchronous request, 256 KiB
// reads written straight to the file: the yardstick; "--bare-flushed" then flushes the file
// to the disk, as a download must before it may replace a file), or with "--page" fetches it
// as a page with lecturepage (result: its status); then prints the result, the time taken,
// the process's peak memory and the processor time its threads spent meanwhile (user and
// kernel; not the Wine server's, nor the kernel's own threads' writing back; -1 if unknown).
// "--after PAGE" first fetches PAGE with lecturepage, untimed, as a run fetches its pages
// before its downloads (the platform's TLS set-up is then paid); the thread holds COM
// throughout, as the updater's does:
//   download_probe [--after PAGE] [--bare | --bare-flushed] URL DESTINATION [SIZE SHA256]
//   download_probe --page URL
// The exit code is the routine's result (1 downloaded, 0 not).
#include "com.h"
#include "internet.h"

#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int bare(const char* url, const char* destination, bool flushed)
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
            return !flushed || FlushFileBuffers(file.get()) ? 1 : 0;
        if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read)
            return 0;
    }
}

// User and kernel time of every thread of the process so far, in seconds.
double processeur()
{
    FILETIME creation, fin, noyau, utilisateur;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &fin, &noyau, &utilisateur))
        return -1;
    auto secondes = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return secondes(noyau) + secondes(utilisateur);
}

}  // namespace

int main(int argc, char** argv)
{
    libmaj::ApartementCom com;
    if (argc > 2 && std::strcmp(argv[1], "--after") == 0) {
        std::string texte;
        if (libmaj::lecturepage("Tidewell", 0, argv[2], "Corvane", texte) != 1) {
            std::printf("result 2 the page to fetch first could not be fetched\n");
            return 2;
        }
        argc -= 2;
        argv += 2;
    }
    const bool flushed = argc > 1 && std::strcmp(argv[1], "--bare-flushed") == 0;
    const bool plainest = flushed || (argc > 1 && std::strcmp(argv[1], "--bare") == 0);
    const bool page = argc == 3 && std::strcmp(argv[1], "--page") == 0;
    if (plainest || page) {
        --argc;
        ++argv;
    }
    if (argc != 3 && argc != 5 && !page)
        return 2;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    const double cpu0 = processeur();
    QueryPerformanceCounter(&t0);
    int resultat = 0;
    if (page) {
        std::string texte;
        resultat = libmaj::lecturepage("Tidewell", 0, argv[1], "Corvane", texte);
    } else if (plainest) {
        resultat = bare(argv[1], argv[2], flushed);
    } else if (argc == 5) {
        libmaj::Arrivee arrivee = libmaj::telechargeverifie(argv[1], argv[2], {std::strtoull(argv[3], nullptr, 10), argv[4]});
        resultat = arrivee.place() ? 1 : 0;
    } else {
        resultat = libmaj::telechargefichier(argv[1], argv[2]);
    }
    QueryPerformanceCounter(&t1);
    const double cpu1 = processeur();
    const double cpu = cpu0 < 0 || cpu1 < 0 ? -1 : cpu1 - cpu0;
    PROCESS_MEMORY_COUNTERS memoire = {};
    memoire.cb = sizeof memoire;
    GetProcessMemoryInfo(GetCurrentProcess(), &memoire, sizeof memoire);
    std::printf("result %d seconds %.3f peak-working-set-bytes %llu peak-private-bytes %llu cpu-seconds %.3f\n", resultat,
                static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart),
                static_cast<unsigned long long>(memoire.PeakWorkingSetSize),
                static_cast<unsigned long long>(memoire.PeakPagefileUsage), cpu);
    return resultat;
}
