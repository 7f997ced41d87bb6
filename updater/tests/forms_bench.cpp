// What a signed update moves and how long it takes, by the way each file comes: whole files
// (as every run did before cheaper forms), compressed files, deltas from the release in place,
// and a release already in place; then the cost of applying a delta to a large file. Prints
// figures for forms_bench.sh, which adds zstd's command line as the yardstick; fails only when
// a folder does not end up holding the release.
//   TIDEWELL_BENCH_WORK: pairs/<name>/{a,b} (two releases' files) and apply/{base,new,delta}
#include "decode.h"
#include "file_handles.h"
#include "online_first.h"
#include "run_support.h"
#include "updater_offer.h"
#include "wait.h"
#include "zstd_forms.h"

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace runsupport;

namespace {

const std::string K1D = TEST_KEY1_D, K1Q = TEST_KEY1_Q;

using Files = std::vector<std::pair<std::string, std::string>>;

Files filesOf(const fs::path& dir)
{
    Files files;
    for (const auto& e : fs::directory_iterator(dir))
        files.emplace_back(e.path().filename().string(), readFile(e.path().string()));
    std::sort(files.begin(), files.end());
    return files;
}

double now()
{
    return libmaj::horlogemonotone();
}

// The bytes of every file the server sent since `from` in its log: each request's path, as
// the tree holds it (no fault is set, so each body went whole).
unsigned long long bytesSent(const std::string& log, const fs::path& root)
{
    unsigned long long total = 0;
    for (std::size_t at = log.find("\"path\": \""); at != std::string::npos; at = log.find("\"path\": \"", at + 1)) {
        const std::size_t start = at + 9, end = log.find('"', start);
        std::error_code ec;
        const auto size = fs::file_size(root / log.substr(start + 1, end - start - 1), ec);
        total += ec ? 0 : size;
    }
    return total;
}

}  // namespace

TEST(FormsBench, BytesAndTimeByWay)
{
    const fs::path work = std::getenv("TIDEWELL_BENCH_WORK");
    for (const auto& pair : fs::directory_iterator(work / "pairs")) {
        const std::string name = pair.path().filename().string();
        const Files a = filesOf(pair.path() / "a"), b = filesOf(pair.path() / "b");
        ServerTree server("Abacor");
        const auto signer5 = testSigner(1, K1D, K1Q, 5, "2099-12-31");
        const auto signer6 = testSigner(1, K1D, K1Q, 6, "2099-12-31");
        server.publish(a, "5", &signer5);
        server.publish(b, "6", &signer6);
        const std::string formes = server.read("Formes.ini");
        // What each of the publisher's delta settings makes of the files that changed, and
        // what keeping the smallest of each file saves over any one setting.
        std::vector<unsigned long long> parreglage(tidewell::publication::reglagesdelta.size());
        unsigned long long gardes = 0;
        for (const auto& [nom, nouveau] : b) {
            const auto ancien = std::find_if(a.begin(), a.end(), [&](const auto& f) { return f.first == nom; });
            if (ancien == a.end() || ancien->second == nouveau)
                continue;
            unsigned long long plus = ~0ull;
            for (std::size_t r = 0; r < parreglage.size(); ++r) {
                const auto taille = tidewell::publication::deltazstd(ancien->second, nouveau,
                                                                     tidewell::publication::reglagesdelta[r]).size();
                parreglage[r] += taille;
                plus = std::min<unsigned long long>(plus, taille);
            }
            gardes += plus;
        }
        for (std::size_t r = 0; r < parreglage.size(); ++r) {
            const auto& g = tidewell::publication::reglagesdelta[r];
            std::printf("forms %s: deltas at level %d%s%s: %llu bytes; the smallest of each file kept: %llu bytes\n",
                        name.c_str(), g.niveau, g.longue ? ", long matching" : "",
                        g.cible ? (", target length " + std::to_string(g.cible) + ", chain log " + std::to_string(g.chaine)).c_str() : "",
                        parreglage[r], gardes);
        }
        // Every file and form over a link of 2 MiB/s, where what is not sent shows as time.
        std::string faults;
        for (const char* dir : {"Maj", "Formes"})
            for (const auto& e : fs::directory_iterator(www() / "Abacor" / dir))
                faults += std::string(faults.empty() ? "" : ", ") + "\"" + e.path().filename().string()
                          + "\": {\"rate\": 2097152}";
        server.write(".httpsd.json", "{\"faults\": {" + faults + "}}");
        struct Way {
            const char* what;
            bool local, release6, forms;
        };
        for (const Way& w : {Way{"whole files, as before", false, false, false}, Way{"compressed", false, false, true},
                             Way{"deltas", true, false, true}, Way{"unchanged release", true, true, true}}) {
            if (!w.forms)
                server.remove("Formes.ini");
            else
                server.write("Formes.ini", formes);
            AppFolder app("tidewell-bench", TIDEWELL_SIGNED_EXE);
            writeFile(app / "Abacor.ini", "");
            if (w.local)
                for (const auto& [f, content] : w.release6 ? b : a)
                    writeFile(app / f, content);
            const std::size_t logBefore = readFile(std::getenv("TIDEWELL_TEST_REQUEST_LOG")).size();
            const double start = now();
            const UpdaterRun run = runUpdater(app);
            const double seconds = now() - start;
            const std::string log = readFile(std::getenv("TIDEWELL_TEST_REQUEST_LOG")).substr(logBefore);
            ASSERT_FALSE(run.box) << run.box->text;
            for (const auto& [f, content] : b)
                ASSERT_TRUE(readFile(app / f) == content) << name << ": " << f;
            std::printf("forms %s: %s: %llu bytes sent, %.2f s\n", name.c_str(), w.what,
                        bytesSent(log, www()), seconds);
        }
    }

}

// A delta applied to a large file, in a process of its own: the decoder's memory (the base is
// mapped, not read into it) and its time against a copy of the same file.
TEST(FormsBench, ADeltaAppliedToALargeFile)
{
    const fs::path work = std::getenv("TIDEWELL_BENCH_WORK");
    const fs::path apply = work / "apply";
    const std::string base = (apply / "base").string(), target = (apply / "target").string();
    const auto wanted = libmaj::mesure((apply / "new").string());
    double start = now();
    const auto baseContent = libmaj::mesure(base);
    const double hash = now() - start;
    ASSERT_TRUE(wanted && baseContent);
    // A copy as an update needs it: on the disk before it is used.
    start = now();
    ASSERT_TRUE(CopyFileA((apply / "new").string().c_str(), (apply / "copy").string().c_str(), FALSE));
    {
        const libmaj::PoigneeFichier copied(CreateFileA((apply / "copy").string().c_str(), GENERIC_WRITE, 0, nullptr,
                                                        OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(FlushFileBuffers(copied.get()));
    }
    const double copy = now() - start;
    // The delta arrives as a download does, checked against its hash, then is decoded.
    ServerTree server("Abacor");
    ASSERT_TRUE(CopyFileA((apply / "delta").string().c_str(), (www() / "Abacor" / "apply.delta").string().c_str(), FALSE));
    const auto deltaContent = libmaj::mesure((apply / "delta").string());
    ASSERT_TRUE(deltaContent);
    const libmaj::Arrivee form = libmaj::telechargeverifie(std::string(std::getenv("TIDEWELL_TEST_SERVER")) + "/Abacor/apply.delta",
                                                           (apply / "delta.in").string(), *deltaContent);
    ASSERT_TRUE(form);
    PROCESS_MEMORY_COUNTERS before{}, after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    libmaj::Decodage decodage;
    decodage.fenetrelog = 28;
    decodage.base = &base;
    decodage.contenubase = *baseContent;
    start = now();
    libmaj::Arrivee result = libmaj::decodeverifie(form, target, *wanted, decodage);
    const double applied = now() - start;
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    ASSERT_TRUE(result) << "the delta did not decode to the new file";
    ASSERT_TRUE(result.place());
    const double mib = static_cast<double>(wanted->taille) / 1048576.0;
    // Wine keeps no count of a process's private memory; its working set includes the mapped base.
    std::printf("forms apply: a delta of %llu bytes to a %.0f MiB file in %.2f s (both hashes and the flush "
                "included; one SHA-256 of the file alone %.2f s), a copy of the file flushed %.2f s, ratio %.2f (target <= 2); "
                "peak working set %.1f MiB, "
                "%.1f MiB before (target: about the base mapped plus the file)\n",
                static_cast<unsigned long long>(deltaContent->taille), mib, applied, hash, copy, applied / copy,
                static_cast<double>(after.PeakWorkingSetSize) / 1048576.0,
                static_cast<double>(before.PeakWorkingSetSize) / 1048576.0);
}

// What a newer updater a release offers costs a copy: its bytes whole, compressed, and as a
// delta from the revision the copy runs (here one that differs by its revision alone) and from
// the build of an earlier commit (a real change of code), and what a run that takes it adds to
// one that installs the same release without an offer.
TEST(FormsBench, WhatANewerUpdaterCostsACopy)
{
    const auto signer4 = testSigner(1, K1D, K1Q, 4, "2099-12-31");
    const auto signer5 = testSigner(1, K1D, K1Q, 5, "2099-12-31");
    const Files release = {{"A.dll", "A v5"}};
    const auto timed = [&](bool offered) {
        ServerTree server("Abacor");
        server.publish({{"A.dll", "A v4"}}, "4", &signer4, offered ? TIDEWELL_SIGNED_EXE : "");
        server.publish(release, "5", &signer5, offered ? TIDEWELL_NEXT_EXE : "");
        AppFolder app("tidewell-bench-swap", TIDEWELL_SIGNED_EXE);
        writeFile(app / "Abacor.ini", "");
        const double start = now();
        const UpdaterRun run = runUpdater(app);
        EXPECT_FALSE(run.box);
        while (offered && readFile(app / "Tidewell.log").find(" in place") == std::string::npos && now() - start < 60)
            Sleep(10);
        const double seconds = now() - start;
        EXPECT_TRUE(!offered || readFile(app / "Tidewell.exe") == readFile(TIDEWELL_NEXT_EXE));
        std::string offer = offered ? server.read(tidewell::nomoffre) : "";
        const std::string log = readFile(app / "Tidewell.log");
        const auto taken = log.find("updater revision 2 offered: ");
        for (std::size_t at = offer.find("\r\n"); at != std::string::npos; at = offer.find("\r\n", at))
            offer.replace(at, 2, "; ");
        if (offered)
            std::printf("forms updater: offer (sizes;SHA-256) %s\n", offer.substr(offer.find("Programme=")).c_str());
        if (taken != std::string::npos)
            std::printf("forms updater: taken: %s\n", log.substr(taken + 28, log.find("\r\n", taken) - taken - 28).c_str());
        return seconds;
    };
    const double plain = timed(false), swapped = timed(true);
    std::printf("forms updater: a run without an offer %.2f s, one that takes the newer updater %.2f s (%.2f s more, "
                "its last step after the application's restart)\n", plain, swapped, swapped - plain);
    const std::string earlier = std::string(TIDEWELL_EARLIER_DIR) + "/Tidewell_signed.exe";
    if (GetFileAttributesA(earlier.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const std::string base = readFile(earlier), next = readFile(TIDEWELL_NEXT_EXE);
        std::size_t best = 0;
        for (const auto& r : tidewell::publication::reglagesdelta) {
            const std::size_t n = tidewell::publication::deltazstd(base, next, r).size();
            best = best == 0 || (n && n < best) ? n : best;
        }
        std::printf("forms updater: from the build of an earlier commit (%zu bytes) to this one (%zu bytes): a delta of "
                    "%zu bytes\n", base.size(), next.size(), best);
    }
}
