// Whole signed runs of a copy whose release offers a newer updater: only one that can serve the
// folder takes the updater's name, in one step, and whatever the offered one does, the release
// is installed, the application restarted and the run's code the same.
#include "run_support.h"
#include "signature_check.h"
#include "updater_offer.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

using namespace runsupport;
namespace fs = std::filesystem;

namespace {

const std::string K1D = TEST_KEY1_D, K1Q = TEST_KEY1_Q;
const std::vector<std::pair<std::string, std::string>> release = {{"A.dll", "A v5"}, {"B.dat", std::string(5000, 'b')}};

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}


// The processes running from a folder's waiting updater, stopped when `stop` says so; how many
// there were.
int waitingUpdaters(bool stop = true)
{
    int n = 0;
    HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    for (BOOL more = Process32First(all, &e); more; more = Process32Next(all, &e))
        if (_stricmp(e.szExeFile, "Tidewell.~neuf.exe") == 0)
            if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, e.th32ProcessID)) {
                n += !stop || TerminateProcess(p, 998) != 0;
                if (stop)
                    WaitForSingleObject(p, 5000);
                CloseHandle(p);
            }
    CloseHandle(all);
    return n;
}

// A copy of today's signed updater with release 4 of Abacor.
struct Copy : AppFolder {
    explicit Copy(const char* prefix) : AppFolder(prefix, TIDEWELL_SIGNED_EXE)
    {
        writeFile(*this / "Abacor.ini", "");
        for (const auto& [name, content] : release)
            writeFile(*this / name, "old " + name);
    }
    std::string log() const { return readFile(*this / "Tidewell.log"); }
    // Waits for what the run left running (the newer updater taking the name) to end.
    bool settled(DWORD ms = 40000) const
    {
        const ULONGLONG end = GetTickCount64() + ms;
        while (GetTickCount64() < end) {
            const std::string l = log();
            if (!exists(*this / "Tidewell.~neuf.exe") || l.find(" in place\r\n") != std::string::npos
                || l.find("could not take") != std::string::npos)
                return !exists(*this / "Tidewell.~neuf.exe");
            Sleep(100);
        }
        return false;
    }
};

// Offers `program` as revision `revision` by hand, as a maker's tool that checks nothing would.
void offerByHand(ServerTree& server, const tidewell::publication::Signataire& signer, const std::string& program,
                 std::uint64_t revision)
{
    const std::string bytes = readFile(program);
    fs::remove_all(server.path() / "Outil");
    fs::create_directories(server.path() / "Outil");
    server.write(tidewell::cheminprogramme(), bytes);
    tidewell::Offre o;
    o.manifeste = libmaj::sha256(server.read("Manifeste.ini"));
    o.cle = 1;
    o.revision = revision;
    o.programme = {bytes.size(), libmaj::sha256(bytes)};
    const std::string text = tidewell::ecritoffre(o);
    server.write(tidewell::nomoffre, text);
    server.write(tidewell::nomsignatureoffre, tidewell::ecritsignature({1, signer.signe(text)}));
}

}  // namespace

TEST(SelfUpdate, OnlyANewerUpdaterThatServesTheFolderTakesItsPlace)
{
    struct Case {
        const char* what;
        const char* offered;   // the program the release offers
        std::function<void(ServerTree&, const tidewell::publication::Signataire&)> serve = {};
        std::string logged;    // in the run log
        bool taken = false;
    };
    const std::vector<Case> cases = {
        {"a newer one", TIDEWELL_NEXT_EXE, {}, "updater revision 2 qualified", true},
        {"one that crashes as it starts", TIDEWELL_CRASH_EXE, {}, "refused: it did not qualify (exit code 3221225477)"},
        {"one that never ends", TIDEWELL_HANG_EXE, {}, "refused: it did not end within 20 s and was stopped"},
        {"one without the key in use",
         TIDEWELL_SIGNED_EXE,
         [](ServerTree& s, const auto& signer) { offerByHand(s, signer, TIDEWELL_OTHERKEY_EXE, 2); },
         "refused: it did not qualify (exit code 2)"},
        {"one that drops the next key, which this one would accept", TIDEWELL_ONEKEY_EXE, {},
         "refused: it did not qualify (exit code 5)"},
        {"one whose offer says another revision than its own, which would come again at every run",
         TIDEWELL_SIGNED_EXE,
         [](ServerTree& s, const auto& signer) { offerByHand(s, signer, TIDEWELL_NEXT_EXE, 3); },
         "refused: it did not qualify (exit code 4)"},
        {"this one again", TIDEWELL_SIGNED_EXE, {}, "updater revision 1 offered (this one is 1), not above this one's: nothing taken"},
        {"one whose bytes are not the ones signed", TIDEWELL_NEXT_EXE,
         [](ServerTree& s, const auto&) {
             fs::remove_all(s.path() / "Outil" / "Formes");
             std::string bytes = s.read(tidewell::cheminprogramme());
             bytes[bytes.size() / 2] ^= 1;
             s.write(tidewell::cheminprogramme(), bytes);
         },
         "updater revision 2 offered: failed"},
        {"an offer of another release", TIDEWELL_NEXT_EXE,
         [](ServerTree& s, const auto& signer) {
             offerByHand(s, signer, TIDEWELL_NEXT_EXE, 2);
             std::string offer = s.read(tidewell::nomoffre);
             offer.replace(offer.find("Manifeste=") + 10, 4, "0000");
             s.write(tidewell::nomoffre, offer);
             s.write(tidewell::nomsignatureoffre, tidewell::ecritsignature({1, signer.signe(offer)}));
         },
         "updater offer ignored: not signed with the release's key, or not this release's"},
    };
    const std::string before = readFile(TIDEWELL_SIGNED_EXE), next = readFile(TIDEWELL_NEXT_EXE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerTree server("Abacor");
        const auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
        ASSERT_EQ(server.publish(release, "5", &signer, c.offered), "");
        if (c.serve)
            c.serve(server, signer);
        Copy copy("tidewell-self");
        const UpdaterRun run = runUpdater(copy);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_FALSE(run.box);
        EXPECT_NE(copy.restarts(), "") << "the application is started again";
        for (const auto& [name, content] : release)
            EXPECT_TRUE(readFile(copy / name) == content) << name;
        EXPECT_TRUE(copy.settled()) << copy.log();
        EXPECT_NE(copy.log().find(c.logged), std::string::npos) << copy.log();
        EXPECT_TRUE(readFile(copy / "Tidewell.exe") == (c.taken ? next : before));
        if (!c.taken)
            continue;
        EXPECT_NE(copy.log().find("updater revision 2 in place\r\n"), std::string::npos) << copy.log();
        // The next run is the new updater's, which finds the release installed and takes its
        // own revision no more.
        copy.forgetRestarts();
        const UpdaterRun again = runUpdater(copy);
        EXPECT_EQ(again.exitCode, 0u);
        const std::string log = copy.log();
        EXPECT_NE(log.find(", updater revision 2\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find("updater revision 2 offered (this one is 2), not above this one's: nothing taken"), std::string::npos) << log;
    }
}

// Killed at moments spread over the swap, the running updater and the newer one together,
// then run again with the release gone from the server: Tidewell.exe is each time the old
// updater or the new one, whole, it runs, and nothing the swap made is left.
TEST(SelfUpdate, KilledAnywhereInTheSwapTheFolderKeepsOneWorkingUpdater)
{
    ServerTree server("Abacor");
    const auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
    ASSERT_EQ(server.publish(release, "5", &signer, TIDEWELL_NEXT_EXE), "");
    const std::string manifest = server.read("Manifeste.ini");
    const std::string before = readFile(TIDEWELL_SIGNED_EXE), next = readFile(TIDEWELL_NEXT_EXE);
    Copy copy("tidewell-self-killed");
    const auto reset = [&] {
        CopyFileA(TIDEWELL_SIGNED_EXE, (copy / "Tidewell.exe").c_str(), FALSE);
        for (const auto& [name, content] : release)
            writeFile(copy / name, "old " + name);
        for (const char* own : {"Etatmaj.ini", "Tidewell.log", "standin.log"})
            DeleteFileA((copy / own).c_str());
    };
    LARGE_INTEGER frequency, t;
    QueryPerformanceFrequency(&frequency);
    const auto ms = [&] {
        QueryPerformanceCounter(&t);
        return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    };
    // The swap starts once the newer updater has arrived (the log says how it came) and ends
    // when it is in place; a run left alone says how long that takes here.
    const auto arrived = [&] { return copy.log().find("updater revision 2 offered: ") != std::string::npos; };
    const auto placed = [&] { return copy.log().find("updater revision 2 in place") != std::string::npos; };
    double start = 0, end = 0;
    killUpdaterWhen(copy, [&](DWORD&) {
        if (start == 0 && arrived())
            start = ms();
        return false;
    });
    waitInFolder(copy.path(), 40000, [&] {
        if (placed())
            end = ms();
        return end != 0;
    });
    ASSERT_GT(start, 0) << copy.log();
    ASSERT_GT(end, start) << copy.log();
    ASSERT_TRUE(readFile(copy / "Tidewell.exe") == next);
    reset();

    int keptOld = 0, keptNew = 0, kills = 0;
    // Beyond the swap as first timed, too: on a busy machine a later swap may take longer, and
    // a kill late enough must find the newer updater in place.
    for (int k = 0; k <= 10 || (keptNew == 0 && k <= 40); ++k) {
        const double delay = (end - start) * k / 8;
        SCOPED_TRACE("killed " + std::to_string(delay) + " ms into the swap");
        double seen = 0;
        bool stopped = false;
        const bool killed = killUpdaterWhen(copy, [&](DWORD& wake) {
            if (seen == 0 && arrived())
                seen = ms();
            if (seen == 0)
                return false;
            if (const double left = delay - (ms() - seen); left > 0) {
                wake = static_cast<DWORD>(left);
                return false;
            }
            stopped = waitingUpdaters() > 0;
            return true;
        });
        // The run may have handed over already: the newer one is then stopped where it is,
        // at the same moment into the swap.
        if (!killed && seen != 0) {
            while (ms() - seen < delay)
                Sleep(1);
            stopped = waitingUpdaters() > 0;
        }
        kills += (killed || stopped) && delay <= end - start;
        // What the killed run started meanwhile goes on alone; the next run comes after it.
        for (const ULONGLONG limit = GetTickCount64() + 40000; waitingUpdaters(false) > 0 && GetTickCount64() < limit;)
            Sleep(100);
        server.remove("Manifeste.ini");
        const UpdaterRun again = runUpdater(copy);
        server.write("Manifeste.ini", manifest);
        ASSERT_TRUE(again.box) << "Tidewell.exe did not run as an updater";
        EXPECT_NE(again.box->text.find("Code : S1"), std::string::npos) << again.box->text;
        const std::string now = readFile(copy / "Tidewell.exe");
        keptOld += now == before;
        keptNew += now == next;
        EXPECT_TRUE(now == before || now == next) << now.size() << " bytes";
        EXPECT_FALSE(exists(copy / "Tidewell.~neuf.exe")) << copy.log();
        copy.forgetRestarts();
        reset();
    }
    EXPECT_GE(kills, 5) << "fewer than half of the moments inside the swap were reached by the kills";
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(keptNew, 0);
    std::printf("swap %.0f ms; %d of the kills inside it landed; the next run found the old updater %d times and the "
                "new one %d times\n", end - start, kills, keptOld, keptNew);
}

// The maker's tool reads what a real build says of itself: one with keys is offered, one
// without them or a program that is no updater is not. An updater built before updaters could
// update themselves installs a release that offers one exactly as before, never asking for it.
TEST(SelfUpdate, AnEarlierUpdaterInstallsAReleaseThatOffersOneAsBefore)
{
    const std::string earlier = std::string(TIDEWELL_EARLIER_DIR) + "/Tidewell_signed.exe";
    if (!exists(earlier))
        GTEST_SKIP() << "no earlier updater: " << readFile(std::string(TIDEWELL_EARLIER_DIR) + "/unavailable");
    ServerTree server("Abacor");
    const auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_NE(server.publish(release, "5", &signer, TIDEWELL_EXE).find("no identity"), std::string::npos);
    EXPECT_NE(server.publish(release, "5", &signer, self).find("not a Windows GUI program"), std::string::npos);
    ASSERT_EQ(server.publish(release, "5", &signer, TIDEWELL_NEXT_EXE), "");
    EXPECT_NE(server.read(tidewell::nomoffre).find("\r\nRevision=2\r\n"), std::string::npos);
    Copy copy("tidewell-earlier");
    CopyFileA(earlier.c_str(), (copy / "Tidewell.exe").c_str(), FALSE);
    const std::size_t logBefore = readFile(std::getenv("TIDEWELL_TEST_REQUEST_LOG")).size();
    const UpdaterRun run = runUpdater(copy);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.box);
    for (const auto& [name, content] : release)
        EXPECT_TRUE(readFile(copy / name) == content) << name;
    EXPECT_EQ(readFile(copy / "Etatmaj.ini"), "Edition=5\r\nCle=1\r\n");
    EXPECT_TRUE(readFile(copy / "Tidewell.exe") == readFile(earlier));
    const std::string seen = readFile(std::getenv("TIDEWELL_TEST_REQUEST_LOG")).substr(logBefore);
    EXPECT_NE(seen.find("/Abacor/Maj/"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("/Abacor/Outil/"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("OffreMaj"), std::string::npos) << seen;
}
