// Whole runs of an updater built with the tests' release keys (1 current, 2 next; floor 3)
// against releases signed, tampered with and replayed on the local HTTPS server.
#include "install_journal.h"
#include "run_support.h"
#include "signature_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace runsupport;
using testsupport::exists;

namespace {

const std::string K1D = TEST_KEY1_D, K1Q = TEST_KEY1_Q;
const std::string K2D = TEST_KEY2_D, K2Q = TEST_KEY2_Q;
const std::string K3D = TEST_KEY3_D, K3Q = TEST_KEY3_Q;


const std::vector<std::pair<std::string, std::string>> five = {
    {"A.dll", "a v2"}, {"B.dll", std::string(600000, 'b')}, {"C.dat", "c v2"}, {"D.hlp", "d v2"}, {"E.txt", "e v2"}};

void publishFive(ServerTree& server, int keyId, const std::string& d, const std::string& q, std::uint64_t release,
                 const std::string& expires)
{
    const auto signer = testSigner(keyId, d, q, release, expires);
    server.publish(five, "5", &signer);
}

struct SignedApp : AppFolder {
    explicit SignedApp(const char* prefix, const std::string& base = "", const char* exe = TIDEWELL_SIGNED_EXE)
        : AppFolder(prefix, exe, base)
    {
        writeFile(*this / "Abacor.ini", "");
        writeFile(*this / "Version.ini", "[Version]\r\nVersion=4\r\n");   // the application's own
        writeFile(*this / "A.sav", "the user's own");   // an unsigned run's backup name for A.dll
        for (const auto& [name, content] : five)
            writeFile(*this / name, "old " + name);
    }
    ~SignedApp()
    {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
    }
    // Opens one of the files as a program does that lets others read it (or not even that)
    // but not replace it.
    void hold(const std::string& name, DWORD share = FILE_SHARE_READ)
    {
        held = CreateFileA((*this / name).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    HANDLE held = INVALID_HANDLE_VALUE;
};

std::string refusal(const std::string& code)
{
    const std::string end = "\r\n\r\nCode : " + code;
    if (code[0] == 'I' || code[0] == 'P')
        return "La mise \xE0 jour n'a pas pu \xEAtre install\xE9" "e : aucun fichier n'a \xE9t\xE9 modifi\xE9.\r\n"
               "The update could not be installed: no file was changed." + end;
    if (code[0] == 'R')
        return "Une mise \xE0 jour interrompue n'a pas pu \xEAtre achev\xE9" "e : ce sera tent\xE9 de nouveau \xE0 la "
               "prochaine mise \xE0 jour.\r\nAn interrupted update could not be completed: this will be tried again "
               "at the next update." + end;
    return "La mise \xE0 jour n'a pas pu \xEAtre v\xE9rifi\xE9" "e : aucun fichier n'a \xE9t\xE9 modifi\xE9.\r\n"
           "The update could not be verified: no file was changed." + end;
}

std::string requestLog()
{
    return readFile(std::getenv("TIDEWELL_TEST_REQUEST_LOG"));
}

// The partial downloads left in the folder, by name.
std::vector<std::string> partials(const AppFolder& app)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(app.path()))
        if (e.path().extension() == ".~prt")
            names.push_back(e.path().filename().string());
    return names;
}

// After a run that failed on a file: every download it kept is named for a file of `release`
// and that file's content, and holds its start (or all of it); they are then removed, so that
// the folder can be compared with what it was.
void expectOnlyStartsOf(const AppFolder& app, const std::vector<std::pair<std::string, std::string>>& release)
{
    for (const auto& p : partials(app)) {
        const std::string kept = readFile(app / p);
        const auto of = std::find_if(release.begin(), release.end(), [&](const auto& f) {
            return p == f.first + "." + libmaj::sha256(f.second).substr(0, 16) + ".~prt";
        });
        EXPECT_TRUE(of != release.end() && kept.size() <= of->second.size() && of->second.compare(0, kept.size(), kept) == 0)
            << p << " left, " << kept.size() << " bytes";
        DeleteFileA((app / p).c_str());
    }
}

}  // namespace

TEST(SignedRun, ASignedReleaseInstallsWholeAndIsRecorded)
{
    ServerTree server("Abacor");
    // A sixth file whose first backup name is B.dll's second one, which B.dll needs here.
    auto release = five;
    release.emplace_back("B.dll.~1", "sixth v2");
    const auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
    server.publish(release, "5", &signer);
    SignedApp app("tidewell-signed");
    writeFile(app / "B.dll.~1", "old sixth");
    // Files copied from a read-only medium, two of them system files too, and what an earlier
    // run killed at the wrong moment left: a received file and a record not yet renamed in.
    // (Wine keeps no other bits, such as not-indexed, and adds archive to what it keeps.)
    const auto mark = [&](const char* name, DWORD attributes) {
        SetFileAttributesA((app / name).c_str(), attributes);
        ASSERT_EQ(GetFileAttributesA((app / name).c_str()) & ~FILE_ATTRIBUTE_ARCHIVE, attributes) << name;
    };
    const DWORD readOnly = FILE_ATTRIBUTE_READONLY, hidden = FILE_ATTRIBUTE_HIDDEN, system = FILE_ATTRIBUTE_SYSTEM;
    mark("A.dll", readOnly | hidden);
    writeFile(app / "Verroumaj.ini", "");   // an earlier run's lock, read-only: still the updater's to take
    mark("Verroumaj.ini", readOnly);
    mark("C.dat", readOnly | hidden | system);
    mark("D.hlp", readOnly | system);
    writeFile(app / "B.dll.~maj", "received by an earlier run");
    writeFile(app / "Etatmaj.ini.~maj", "Edition=9\r\nCle=1\r\n");
    writeFile(app / "B.dll.sav", "the user's own too");   // the signed backup's first name taken
    CreateDirectoryA((app / "C.dat.sav").c_str(), nullptr);   // and another's, by a folder
    writeFile(app / "C.dat.sav\\inside", "kept");
    // A record restored from a read-only medium is still the updater's to replace.
    writeFile(app / "Etatmaj.ini", "Edition=4\r\nCle=1\r\n");
    mark("Etatmaj.ini", readOnly | system);
    // Served in chunks, without a length, as a dynamic handler does: the signature proves it whole.
    server.write(".httpsd.json", "{\"faults\": {\"B.dll\": {\"chunked\": true}, \"B.dll.zst\": {\"chunked\": true}}}");
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.box) << run.box->text;
    for (const auto& [name, content] : release)
        EXPECT_TRUE(readFile(app / name) == content) << name;
    EXPECT_EQ(readFile(app / "Etatmaj.ini"), "Edition=5\r\nCle=1\r\n");
    EXPECT_EQ(readFile(app / "Version.ini"), "[Version]\r\nVersion=4\r\n");
    EXPECT_EQ(readFile(app / "A.sav"), "the user's own");
    EXPECT_EQ(readFile(app / "B.dll.sav"), "the user's own too");
    EXPECT_EQ(readFile(app / "C.dat.sav\\inside"), "kept");
    for (const char* left : {"A.dll.sav", "B.dll.~1.sav", "B.dll.~1.~1.sav", "C.dat.~1.sav", "B.dll.~maj", "Listfich.ini", "Etatmaj.ini.~maj",
                             "Journalmaj.ini", "Verroumaj.ini"})
        EXPECT_FALSE(exists(app / left)) << left;
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
}

// Each release the updater cannot trust leaves the application folder byte for byte as it
// was, shows why, and starts the unchanged application again.
TEST(SignedRun, AReleaseThatCannotBeVerifiedChangesNoFile)
{
    struct Case {
        const char* what;
        std::string code;
        std::function<void(ServerTree&, SignedApp&)> setUp;
    };
    const auto standard = [](ServerTree& s) { publishFive(s, 1, K1D, K1Q, 5, utcDay(30)); };
    const std::vector<Case> cases = {
        {"the third of five files tampered with", "F3",
         [&](ServerTree& s, SignedApp&) { standard(s); s.write("Maj/C.dat", "c v3"); }},
        {"a file longer than signed", "F1",
         [&](ServerTree& s, SignedApp&) { standard(s); s.write("Maj/A.dll", "a v2 and more"); }},
        {"a file in chunks cut before its last one, its compressed form failing first", "F2",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             s.write(".httpsd.json", "{\"faults\": {\"B.dll\": {\"chunked\": true, \"drop_after\": 300000,"
                                     " \"ignore_range\": true}, \"B.dll.zst\": {\"status\": 500}}}");
         }},
        {"the manifest tampered with", "S3",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             std::string m = s.read("Manifeste.ini");
             m.replace(m.find("Edition=5"), 9, "Edition=6");
             s.write("Manifeste.ini", m);
         }},
        {"signed by another key under a built-in id", "S3",
         [&](ServerTree& s, SignedApp&) { publishFive(s, 1, K3D, K3Q, 5, utcDay(30)); }},
        {"signed by a key not built in", "S2",
         [&](ServerTree& s, SignedApp&) { publishFive(s, 3, K3D, K3Q, 5, utcDay(30)); }},
        {"an older release replayed", "S7",
         [&](ServerTree& s, SignedApp& a) { standard(s); writeFile(a / "Etatmaj.ini", "Edition=7\r\nCle=1\r\n"); }},
        {"below the built-in floor, the record unreadable", "S7",
         [&](ServerTree& s, SignedApp& a) {
             publishFive(s, 1, K1D, K1Q, 2, utcDay(30));
             writeFile(a / "Etatmaj.ini", "Edition=9");
         }},
        {"an expired manifest", "S8", [&](ServerTree& s, SignedApp&) { publishFive(s, 1, K1D, K1Q, 5, utcDay(-1)); }},
        {"no manifest (404)", "S1", [&](ServerTree& s, SignedApp&) { standard(s); s.remove("Manifeste.ini"); }},
        {"no manifest (ERREUR 404 page)", "S1",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             s.remove("Manifeste.ini");
             s.write(".httpsd.json", "{\"missing\": \"404-erreur\"}");
         }},
        {"no manifest (200 page holding ERROR 404)", "S1",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             s.remove("Manifeste.ini");
             s.write(".httpsd.json", "{\"missing\": \"200-error\"}");
         }},
        {"another application's manifest", "S5",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             ServerTree other("Quillon");
             publishFive(other, 1, K1D, K1Q, 5, utcDay(30));
             s.write("Manifeste.ini", other.read("Manifeste.ini"));
             s.write("Signature.ini", other.read("Signature.ini"));
         }},
        {"the third file held open by another program, the first already in place, with no wait", "I3",
         [&](ServerTree& s, SignedApp& a) {
             standard(s);
             writeFile(a / "A.dll", "a v2");
             writeFile(a / "Tidewell.ini", "[Application]\r\nNom=Abacor\r\nAttente=0\r\n");
             a.hold("C.dat");
         }},
        {"a size file that is not the signed one, of the same length", "S9",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             std::string size = s.read("Taillefich.ini");
             size[0] = size[0] == '9' ? '8' : '9';
             s.write("Taillefich.ini", size);
         }},
        {"signed with a release number that would leave none to its successors", "M11",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             std::string m = s.read("Manifeste.ini");
             m.replace(m.find("Edition=5"), 9, "Edition=1000000000");
             s.write("Manifeste.ini", m);
             s.write("Signature.ini", tidewell::ecritsignature({1, testSigner(1, K1D, K1Q, 5, "").signe(m)}));
         }},
        {"a record of the last release that cannot be written (a folder)", "P2",
         [&](ServerTree& s, SignedApp& a) {
             standard(s);
             CreateDirectoryA((a / "Etatmaj.ini").c_str(), nullptr);
             writeFile(a / "Etatmaj.ini\\inside", "kept");
         }},
        {"a folder where the record is written before its rename", "P2",
         [&](ServerTree& s, SignedApp& a) {
             standard(s);
             CreateDirectoryA((a / "Etatmaj.ini.~maj").c_str(), nullptr);
             writeFile(a / "Etatmaj.ini.~maj\\inside", "kept");
         }},
        {"a folder under the lock's name: no run could hold the folder", "P3",
         [&](ServerTree& s, SignedApp& a) {
             standard(s);
             CreateDirectoryA((a / "Verroumaj.ini").c_str(), nullptr);
             writeFile(a / "Verroumaj.ini\\inside", "kept");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerTree server("Abacor");
        SignedApp app("tidewell-refused");
        c.setUp(server, app);
        const auto before = snapshot(app.path());
        const std::size_t logBefore = requestLog().size();
        const UpdaterRun run = runUpdater(app);
        ASSERT_TRUE(run.box);
        EXPECT_EQ(run.box->title, "Mise \xE0 jour des Fichiers");
        EXPECT_EQ(run.box->text, refusal(c.code))
            << run.platform() << "the server saw:\n" << requestLog().substr(logBefore);
        const std::string log = readFile(app / "Tidewell.log");
        EXPECT_NE(log.find(" refused: " + c.code + ": "), std::string::npos) << log;
        EXPECT_EQ(badLogLine(log), "");
        EXPECT_EQ(run.box->icon, uihelper::Icon::stop);
        EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
        DeleteFileA((app / "standin.log").c_str());
        // A run that fails on a file keeps what arrived of the release for the next run, and
        // nothing else.
        if (c.code == "F2") {
            EXPECT_EQ(partials(app).size(), 2u) << "A.dll whole and the start of B.dll";
        }
        if (c.code[0] == 'F')
            expectOnlyStartsOf(app, five);
        EXPECT_TRUE(partials(app).empty()) << partials(app).front();
        const auto now = snapshot(app.path());
        EXPECT_TRUE(now == before) << "the folder changed:" << difference(before, now);
        if (c.code[0] != 'F' && c.code[0] != 'I') {
            EXPECT_EQ(requestLog().find("/Abacor/Maj/", logBefore), std::string::npos) << "a file was fetched";
        }
    }
}

// The build carries the current key (1) and the next (2): a release signed by the next key is
// installed, and from then on one signed by the older key is refused.
TEST(SignedRun, ARotationToTheNextKeyRetiresTheOldOne)
{
    ServerTree server("Abacor");
    publishFive(server, 2, K2D, K2Q, 6, utcDay(30));
    SignedApp app("tidewell-rotation");
    writeFile(app / "Etatmaj.ini", "Edition=5\r\nCle=1\r\n");
    runUpdater(app);
    EXPECT_EQ(readFile(app / "A.dll"), "a v2");
    EXPECT_EQ(readFile(app / "Etatmaj.ini"), "Edition=6\r\nCle=2\r\n");

    // Whoever holds the retired key writes the server's tree anew.
    server.remove("Manifeste.ini");
    const auto signer = testSigner(1, K1D, K1Q, 7, utcDay(30));
    server.publish({{"A.dll", "a v3"}}, "7", &signer);
    const UpdaterRun run = runUpdater(app);
    ASSERT_TRUE(run.box);
    EXPECT_EQ(run.box->text, refusal("S6"));
    EXPECT_EQ(readFile(app / "A.dll"), "a v2");
    EXPECT_EQ(readFile(app / "Etatmaj.ini"), "Edition=6\r\nCle=2\r\n");
}

namespace {

using tidewell::Empreinte;

Empreinte printOf(const std::string& name, const std::string& content)
{
    return {name, content.size(), libmaj::sha256(content)};
}

// The journal of an install of `five` over SignedApp's files: release 5 by key 1, before or
// after every file was in place and the release recorded.
std::string journalOfFive(bool recorded = false, const std::string& added = "")
{
    tidewell::Journal j;
    j.edition = 5;
    j.cle = 1;
    for (const auto& [name, content] : five) {
        j.fichiers.push_back({printOf(name, content), printOf(name + ".sav", "old " + name)});
        if (name == added)
            j.fichiers.back().ancien.reset();   // a file the release adds: nothing to back up
    }
    if (recorded)
        j.etape = tidewell::Journal::Etape::rangement;
    return tidewell::ecritjournal(j);
}

}  // namespace

// A folder as an install cut short left it: the journal is taken up before anything else, so
// the run that follows (here against a server without the release) finds one whole release.
TEST(SignedRun, AnInstallCutShortIsTakenUpBeforeAnythingElse)
{
    struct Case {
        const char* what;
        std::function<void(ServerTree&, SignedApp&)> leftBehind;
        std::string code;          // of the run that finds it
        bool whole;                // the folder then holds the new release
        std::string changed = {};  // a listed file another program rewrote after the kill
        std::string usersOwn = {}; // a file the user put under a backup's name after the kill
        std::string added = {};    // a file the release adds, which undoing it removes
    };
    const auto placed = [](SignedApp& a, std::size_t n, bool recorded = false) {
        writeFile(a / "Journalmaj.ini", journalOfFive(recorded));
        for (std::size_t i = 0; i < five.size(); ++i) {
            writeFile(a / (five[i].first + ".sav"), "old " + five[i].first);
            if (i < n)
                writeFile(a / five[i].first, five[i].second);
        }
    };
    // Where the run cannot finish (R), the journal stays until the obstacle goes.
    const auto recordBlocked = [](SignedApp& a) { CreateDirectoryA((a / "Etatmaj.ini").c_str(), nullptr); };
    const std::vector<Case> cases = {
        {"two of five files replaced", [&](ServerTree&, SignedApp& a) { placed(a, 2); }, "S1", false},
        {"killed between a backup's creation and its mark for deletion: an empty backup",
         [&](ServerTree&, SignedApp& a) {
             placed(a, 0);
             writeFile(a / "E.txt.sav", "");
         },
         "S1", false},
        {"killed between an arrival's mark taken back and its rename: the new file under its partial name",
         [&](ServerTree&, SignedApp& a) {
             placed(a, 2);
             writeFile(a / (five[2].first + "." + libmaj::sha256(five[2].second).substr(0, 16) + ".~prt"),
                       five[2].second);
         },
         "S1", false},
        {"every file replaced, the tidying not done", [&](ServerTree&, SignedApp& a) { placed(a, 5); }, "S1", true},
        {"kept, a backup already tidied and a file changed since",
         [&](ServerTree&, SignedApp& a) {
             placed(a, 5, true);
             DeleteFileA((a / "A.dll.sav").c_str());
             writeFile(a / "C.dat", "changed since");
         },
         "S1", true, "C.dat"},
        {"kept, the backups tidied, and a file of the user's own under a backup's name since",
         [&](ServerTree&, SignedApp& a) {
             placed(a, 5, true);
             for (const auto& [name, content] : five)
                 DeleteFileA((a / (name + ".sav")).c_str());
             writeFile(a / "B.dll.sav", "the user's own");
         },
         "S1", true, "", "B.dll.sav"},
        {"two of five placed, the first of them one the release adds",
         [&](ServerTree&, SignedApp& a) {
             placed(a, 2);
             writeFile(a / "Journalmaj.ini", journalOfFive(false, "A.dll"));
             DeleteFileA((a / "A.dll.sav").c_str());
         },
         "S1", false, "", "", "A.dll"},
        {"a replaced file held open by another program",
         [&](ServerTree&, SignedApp& a) { placed(a, 1); a.hold("A.dll"); }, "R1", false},
        {"a replaced file another program holds without sharing it",
         [&](ServerTree&, SignedApp& a) { placed(a, 1); a.hold("A.dll", 0); }, "R1", false},
        {"kept, but the record cannot be written",
         [&](ServerTree&, SignedApp& a) { placed(a, 5, true); recordBlocked(a); }, "R0", true},
        {"a release to install where its record cannot be written: nothing fetched or changed",
         [&](ServerTree& s, SignedApp& a) { publishFive(s, 1, K1D, K1Q, 5, utcDay(30)); recordBlocked(a); }, "P2",
         false},
        {"a journal this updater did not write",
         [&](ServerTree&, SignedApp& a) { writeFile(a / "Journalmaj.ini", "Format=1\r\n"); }, "S1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerTree server("Abacor");
        SignedApp app("tidewell-resumed");
        const auto untouched = snapshot(app.path());
        c.leftBehind(server, app);
        const UpdaterRun run = runUpdater(app);
        ASSERT_TRUE(run.box);
        EXPECT_EQ(run.box->text, refusal(c.code));
        app.forgetRestarts();
        if (c.code[0] == 'R') {
            EXPECT_TRUE(exists(app / "Journalmaj.ini"));
            CloseHandle(app.held);
            app.held = INVALID_HANDLE_VALUE;
            RemoveDirectoryA((app / "Etatmaj.ini").c_str());
            server.remove("Manifeste.ini");
            const UpdaterRun next = runUpdater(app);
            ASSERT_TRUE(next.box);
            EXPECT_EQ(next.box->text, refusal("S1"));
            app.forgetRestarts();
        }
        auto expected = untouched;
        if (c.whole) {
            for (auto& [name, content] : expected)
                for (const auto& [listed, signedContent] : five)
                    if (name == listed)
                        content = signedContent;
            expected.emplace_back("Etatmaj.ini", "Edition=5\r\nCle=1\r\n");
            std::sort(expected.begin(), expected.end());
        }
        for (auto& [name, content] : expected)
            if (name == c.changed)
                content = "changed since";
        if (!c.added.empty())
            expected.erase(std::remove_if(expected.begin(), expected.end(),
                                          [&](const auto& entry) { return entry.first == c.added; }),
                           expected.end());
        if (!c.usersOwn.empty()) {
            expected.emplace_back(c.usersOwn, "the user's own");
            std::sort(expected.begin(), expected.end());
        }
        const auto now = snapshot(app.path());
        EXPECT_TRUE(now == expected) << "not one whole release, or something left behind:" << difference(expected, now);
    }
}

// Killed at moments spread over its install step, then run again with the release gone from
// the server: each time the folder holds the whole old release or the whole new one.
TEST(SignedRun, KilledAnywhereInItsInstallTheNextRunLeavesOneWholeRelease)
{
    // Files large enough that the install's backups and renames take a measurable time.
    std::vector<std::pair<std::string, std::string>> release, old;
    for (char c = 'A'; c < 'G'; ++c) {
        release.emplace_back(std::string(1, c) + ".dat", std::string(1 << 20, c));
        old.emplace_back(std::string(1, c) + ".dat", std::string(1 << 20, static_cast<char>(c + 32)));
    }
    ServerTree server("Abacor");
    const auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
    server.publish(release, "5", &signer);
    const std::string manifest = server.read("Manifeste.ini");
    AppFolder app("tidewell-killed", TIDEWELL_SIGNED_EXE);
    writeFile(app / "Abacor.ini", "");
    const auto reset = [&] {
        for (const auto& [name, content] : old)
            writeFile(app / name, content);
        DeleteFileA((app / "Etatmaj.ini").c_str());
    };
    reset();
    const auto before = snapshot(app.path());
    auto after = before;
    for (auto& entry : after)
        for (const auto& [name, content] : release)
            if (entry.first == name)
                entry.second = content;
    after.emplace_back("Etatmaj.ini", "Edition=5\r\nCle=1\r\n");
    std::sort(after.begin(), after.end());

    // A run left alone says how long its install takes on this machine: from its journal's
    // appearance (before the first backup) to its going (after the last).
    const std::string journal = app / "Journalmaj.ini";
    LARGE_INTEGER frequency, t;
    QueryPerformanceFrequency(&frequency);
    const auto ms = [&] {
        QueryPerformanceCounter(&t);
        return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    };
    double start = 0, end = 0;
    killUpdaterWhen(app, [&](DWORD&) {
        if (start == 0 && exists(journal))
            start = ms();
        if (start != 0 && end == 0 && !exists(journal))
            end = ms();
        return false;
    });
    ASSERT_GT(start, 0);
    ASSERT_GT(end, start);
    app.forgetRestarts();
    ASSERT_TRUE(snapshot(app.path()) == after);
    reset();

    // Spread over the install, the last ones after its end, so that both outcomes are seen.
    std::vector<double> moments;
    for (int k = 0; k < 11; ++k)
        moments.push_back((end - start) * k / 10);
    moments.push_back((end - start) * 2);
    moments.push_back((end - start) * 4);
    int keptOld = 0, keptNew = 0, kills = 0, tries = 0;
    // On a busy machine a later install may take longer than the one measured: the kills then
    // go on, each twice as late as the one before, until one finds the new release in place.
    for (std::size_t i = 0; i < moments.size() || (keptNew == 0 && i < moments.size() + 8); ++i) {
        const double delay = i < moments.size() ? moments[i] : moments.back() * (2 << (i - moments.size()));
        SCOPED_TRACE("killed " + std::to_string(delay) + " ms into the install");
        ++tries;
        double seen = 0;
        const bool killed = killUpdaterWhen(app, [&](DWORD& wake) {
            if (seen == 0 && exists(journal))
                seen = ms();
            if (seen == 0)
                return false;
            const double left = delay - (ms() - seen);
            wake = left > 0 ? static_cast<DWORD>(left) : 0;
            return left <= 0;
        });
        // A run may install faster than the one measured, so one that ends before a late
        // moment inside the install is a finished run, not a fault; the count below, of the
        // moments inside the install only, still fails if the kills stop landing there.
        kills += killed && delay <= end - start;
        server.remove("Manifeste.ini");
        const UpdaterRun next = runUpdater(app);
        server.write("Manifeste.ini", manifest);
        ASSERT_TRUE(next.box);
        EXPECT_EQ(next.box->text, refusal("S1"));
        app.forgetRestarts();
        const auto now = snapshot(app.path());
        keptOld += now == before;
        keptNew += now == after;
        EXPECT_TRUE(now == before || now == after) << "a mixed folder, or something left behind:" << difference(before, now);
        // The later kills find no fault a run left alone would show: one that ended by itself
        // installed the release.
        EXPECT_TRUE(killed || now == after) << "a run that ended by itself left the old release";
        EXPECT_EQ(badLogLine(readFile(app / "Tidewell.log")), "") << "a killed run's log is whole line by line";
        reset();
    }
    EXPECT_GE(kills, 6) << "fewer than half of the moments inside the install were reached by the kills";
    EXPECT_GT(keptOld, 0);
    EXPECT_GT(keptNew, 0);
    std::printf("install step %.0f ms; %d of the kills inside it landed (of %d tries, %d of them later than planned); the next "
                "run found the old release %d times and the new one %d times\n", end - start, kills, tries,
                tries - static_cast<int>(moments.size()), keptOld, keptNew);
}

// A second run started in a folder that a first run is updating (here: whose lock the test
// holds, as a run of another user or machine would) leaves it to the first: it ends without a
// word, fetching and changing nothing, and does not start the application while the first
// run replaces its files.
TEST(SignedRun, ASecondRunInTheSameFolderLeavesItToTheFirst)
{
    ServerTree server("Abacor");
    publishFive(server, 1, K1D, K1Q, 5, utcDay(30));
    SignedApp app("tidewell-twice");
    writeFile(app / "Journalmaj.ini", journalOfFive());   // the first run's, under way
    HANDLE lock = CreateFileA((app / "Verroumaj.ini").c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                              CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const auto before = snapshot(app.path());
    const std::size_t logBefore = requestLog().size();
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.box);
    EXPECT_TRUE(run.frames.empty());
    EXPECT_EQ(app.restarts(2000), "");
    const auto after = snapshot(app.path());
    CloseHandle(lock);
    EXPECT_TRUE(after == before) << difference(before, after);
    EXPECT_EQ(requestLog().find("/Abacor/", logBefore), std::string::npos);
}

// A volume of its own (a small tmpfs that the test launcher mounts for this test alone).
TEST(SignedRun, WithoutRoomOnTheVolumeNoFileChanges)
{
    const char* volume = std::getenv("TIDEWELL_TEST_SMALL_VOLUME");
    ASSERT_NE(volume, nullptr) << "run through the test launcher, which mounts the small volume";
    ServerTree server("Abacor");
    SignedApp app("tidewell-full-disk", volume);
    ULARGE_INTEGER free;
    ASSERT_TRUE(GetDiskFreeSpaceExA(app.path().c_str(), &free, nullptr, nullptr));
    const std::size_t room = static_cast<std::size_t>(free.QuadPart);
    // Releases without deltas: the room on the volume is what matters here, and deltas between
    // files of megabytes of one byte took the maker's tool half a minute of processor under Wine.
    const auto signerOf = [](std::uint64_t edition) {
        auto s = testSigner(1, K1D, K1Q, edition, utcDay(30));
        s.deltas = 0;
        return s;
    };
    const auto signer = signerOf(5);

    // B.dll alone would fit, but not beside the backup of the one it replaces.
    writeFile(app / "B.dll", std::string(room / 3, 'o'));
    auto release = five;
    release[1].second = std::string(room / 2, 'n');
    server.publish(release, "5", &signer);
    auto before = snapshot(app.path());
    std::size_t logBefore = requestLog().size();
    UpdaterRun run = runUpdater(app);
    ASSERT_TRUE(run.box);
    EXPECT_EQ(run.box->text, refusal("P1"));
    // The refused run restarts the application, whose stand-in writes its record when it runs.
    app.forgetRestarts();
    auto now = snapshot(app.path());
    EXPECT_TRUE(now == before) << difference(before, now);
    EXPECT_EQ(requestLog().find("/Abacor/Maj/", logBefore), std::string::npos) << "a file was fetched";

    // Room enough when the run starts, but another program fills the disk while B.dll arrives.
    writeFile(app / "B.dll", "old B.dll");
    release[1].second = std::string(room / 4, 'n');
    const auto signer6 = signerOf(6);
    server.publish(release, "6", &signer6);
    // The plain file, slowly: its compressed form is not found.
    server.write(".httpsd.json", "{\"faults\": {\"B.dll\": {\"rate\": 400000}, \"B.dll.zst\": {\"status\": 404}}}");
    before = snapshot(app.path());
    const std::string filler = std::string(volume) + "\\filler";
    bool filled = false;
    const std::string bPartial = app / ("B.dll." + libmaj::sha256(release[1].second).substr(0, 16) + ".~prt");
    run = runUpdater(app, "", "", [&] {
        // Once some of B.dll is on the disk.
        std::error_code ec;
        if (!filled && fs::file_size(bPartial, ec) > 0 && !ec) {
            HANDLE f = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            const std::string block(1 << 16, 'f');
            DWORD written = 0;
            while (WriteFile(f, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written > 0) {
            }
            CloseHandle(f);
            filled = true;
        }
    });
    DeleteFileA(filler.c_str());
    EXPECT_TRUE(filled) << "B.dll was never seen arriving";
    ASSERT_TRUE(run.box);
    EXPECT_EQ(run.box->text, refusal("F2"));
    app.forgetRestarts();
    // What arrived of B.dll before the disk filled is kept for the next run.
    ASSERT_EQ(partials(app).size(), 2u) << "A.dll whole and the start of B.dll";
    const std::string kept = readFile(bPartial);
    EXPECT_TRUE(kept.size() < release[1].second.size() && release[1].second.compare(0, kept.size(), kept) == 0);
    std::vector<std::pair<std::string, std::string>> keptFiles;
    for (const auto& p : partials(app))
        keptFiles.emplace_back(p, readFile(app / p));
    expectOnlyStartsOf(app, release);
    now = snapshot(app.path());
    EXPECT_TRUE(now == before) << difference(before, now);
    for (const auto& [p, content] : keptFiles)
        writeFile(app / p, content);

    // What a power cut during the downloads left under the temporary names would not leave
    // room for the release: it goes before the room is measured, and the release installs.
    const auto signer7 = signerOf(7);
    server.publish(release, "7", &signer7);
    server.write(".httpsd.json", "{\"faults\": {\"B.dll.zst\": {\"status\": 404}}}");
    writeFile(app / "B.dll.~maj", std::string(room * 4 / 5, 'l'));
    writeFile(app / "A.dll.~maj", "a partial A");
    logBefore = requestLog().size();
    run = runUpdater(app);
    EXPECT_FALSE(run.box) << run.box->text;
    app.forgetRestarts();
    EXPECT_EQ(readFile(app / "B.dll"), release[1].second);
    // The same B.dll in release 7: the rest of it alone, and A.dll not again.
    EXPECT_NE(requestLog().find("\"Range\": \"bytes=" + std::to_string(kept.size()) + "-\"", logBefore), std::string::npos)
        << kept.size() << " bytes kept; the run log:\n" << readFile(app / "Tidewell.log");
    EXPECT_EQ(requestLog().find("/Maj/A.dll", logBefore), std::string::npos);
    EXPECT_TRUE(partials(app).empty());
    EXPECT_EQ(readFile(app / "Etatmaj.ini"), "Edition=7\r\nCle=1\r\n");
    for (const char* leftover : {"A.dll.~maj", "B.dll.~maj"})
        EXPECT_FALSE(exists(app / leftover)) << leftover;
    server.write(".httpsd.json", "{}");

    // Room for the new B.dll beside the old one, but not for its compressed form too, which
    // waits beside it while it is decoded: B.dll comes whole.
    writeFile(app / "B.dll", "old B.dll");
    ASSERT_TRUE(GetDiskFreeSpaceExA(app.path().c_str(), &free, nullptr, nullptr));
    const std::size_t left = static_cast<std::size_t>(free.QuadPart);
    std::string halfRandom(left * 3 / 4, '\0');
    unsigned x = 3;
    for (std::size_t i = 0; i < halfRandom.size(); i += 2)
        halfRandom[i] = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
    release[1].second = halfRandom;
    const auto signer8 = signerOf(8);
    server.publish(release, "8", &signer8);
    ASSERT_NE(server.read("Formes.ini").find("Compresse=2;"), std::string::npos) << "B.dll is offered compressed";
    logBefore = requestLog().size();
    run = runUpdater(app);
    EXPECT_FALSE(run.box) << run.box->text;
    app.forgetRestarts();
    EXPECT_TRUE(readFile(app / "B.dll") == halfRandom);
    EXPECT_NE(requestLog().find("/Abacor/Maj/B.dll", logBefore), std::string::npos);
    EXPECT_EQ(requestLog().find("B.dll.zst", logBefore), std::string::npos);

    // The start of B.dll kept by a cut run is all that stands in the way: it goes, and the
    // whole file comes.
    writeFile(app / "B.dll", "old B.dll");
    ASSERT_TRUE(GetDiskFreeSpaceExA(app.path().c_str(), &free, nullptr, nullptr));
    std::string noise(static_cast<std::size_t>(free.QuadPart) * 3 / 5, '\0');
    for (char& c : noise)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
    release[1].second = noise;
    const auto signer9 = signerOf(9);
    server.publish(release, "9", &signer9);
    ASSERT_EQ(server.read("Formes.ini").find("=2;"), std::string::npos) << "B.dll comes plain only";
    writeFile(app / ("B.dll." + libmaj::sha256(noise).substr(0, 16) + ".~prt"), noise.substr(0, noise.size() * 5 / 6));
    logBefore = requestLog().size();
    run = runUpdater(app);
    EXPECT_FALSE(run.box) << run.box->text;
    app.forgetRestarts();
    EXPECT_TRUE(readFile(app / "B.dll") == noise);
    EXPECT_EQ(requestLog().find("\"Range\"", logBefore), std::string::npos) << "the kept bytes went";
    EXPECT_TRUE(partials(app).empty());
}

namespace {

// Bytes that compress little but change little between releases, as a program's do.
std::string programBytes(std::size_t size, unsigned seed)
{
    std::string s(size, '\0');
    unsigned x = seed;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

// The same zstd frame, asking for a window of 2^log bytes: its header rewritten without the
// single-segment flag, its blocks unchanged.
std::string withWindowLog(const std::string& frame, int log)
{
    const auto fhd = static_cast<unsigned char>(frame[4]);
    const int fcsFlag = fhd >> 6, dictFlag = fhd & 3;
    const bool single = (fhd >> 5) & 1;
    std::size_t at = single ? 5 : 6;
    const int dictBytes[] = {0, 1, 2, 4}, fcsBytes[] = {single ? 1 : 0, 2, 4, 8};
    const std::string dict = frame.substr(at, static_cast<std::size_t>(dictBytes[dictFlag]));
    at += dict.size();
    unsigned long long size = 0;
    for (int i = 0; i < fcsBytes[fcsFlag]; ++i)
        size |= static_cast<unsigned long long>(static_cast<unsigned char>(frame[at + i])) << (8 * i);
    if (fcsFlag == 1)
        size += 256;
    at += static_cast<std::size_t>(fcsBytes[fcsFlag]);
    std::string out = frame.substr(0, 4);
    out += static_cast<char>((3 << 6) | (fhd & 0x04) | dictFlag);
    out += static_cast<char>((log - 10) << 3);
    out += dict;
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(size >> (8 * i));
    return out + frame.substr(at);
}

}  // namespace

// A release that changes some files of the one in place moves only what changed, as deltas
// from the local copies where it can, compressed where it cannot, and whole as the last
// resort; a cheaper form that fails for any reason falls back to the next, never to a refusal.
TEST(SignedRun, OnlyWhatChangedTravels)
{
    using Files = std::vector<std::pair<std::string, std::string>>;
    std::string text5, text6;
    for (int i = 0; i < 6000; ++i) {
        text5 += "Line " + std::to_string(i) + " of the help, as it was.\r\n";
        text6 += "Line " + std::to_string(i) + (i % 1000 ? " of the help, as it was.\r\n" : " of the help, new.\r\n");
    }
    std::string program6 = programBytes(400000, 7);
    program6.replace(1000, 8, "CHANGED!");
    const Files five5 = {{"Prog.exe", programBytes(400000, 7)}, {"Aide.txt", text5}, {"Same.dat", programBytes(50000, 9)},
                         {"Tiny.ini", "x=1\r\n"}};
    const Files five6 = {{"Prog.exe", program6}, {"Aide.txt", text6}, {"Same.dat", five5[2].second},
                         {"Tiny.ini", "x=2\r\n"}};
    const auto signer5 = testSigner(1, K1D, K1Q, 5, utcDay(30));
    auto signer6 = testSigner(1, K1D, K1Q, 6, utcDay(30));

    // The form of `name` whose path ends with `ending`, as published.
    const auto formPath = [](ServerTree& s, const std::string& name, const std::string& ending) {
        for (const auto& e : fs::directory_iterator(s.path() / "Formes")) {
            const std::string f = e.path().filename().string();
            if (f.rfind(name + ".", 0) == 0 && f.size() >= ending.size()
                && f.compare(f.size() - ending.size(), ending.size(), ending) == 0)
                return "Formes/" + f;
        }
        ADD_FAILURE() << "no form " << name << "*" << ending;
        return std::string();
    };
    // Replaces a form on the server and signs the list of forms again, as a maker's bug would.
    const auto replaceSigned = [&](ServerTree& s, const std::string& path, const std::string& bytes) {
        const std::string old = s.read(path);
        std::string list = s.read("Formes.ini");
        const std::string was = std::to_string(old.size()) + ";" + signer6.sha256(old);
        ASSERT_NE(list.find(was), std::string::npos);
        list.replace(list.find(was), was.size(), std::to_string(bytes.size()) + ";" + signer6.sha256(bytes));
        s.write(path, bytes);
        s.write("Formes.ini", list);
        s.write("SignatureFormes.ini", tidewell::ecritsignature({1, signer6.signe(list)}));
    };
    struct Case {
        const char* what;
        std::function<void(ServerTree&, SignedApp&)> setUp;
        std::vector<std::string> fetched, notFetched;
        std::function<void(SignedApp&)> meanwhile = {};
        int formRequests = -1;   // requests under Formes/, when counted
    };
    // Forms kept on the disk at once: the room is counted for one.
    bool twoForms = false;
    const auto countForms = [&twoForms](SignedApp& a) {
        int forms = 0;
        for (const auto& p : partials(a))
            forms += p.find(".~frm.") != std::string::npos;
        twoForms = twoForms || forms > 1;
    };
    const std::vector<Case> cases = {
        {"the previous release in place: deltas, the run log full",
         [&](ServerTree&, SignedApp& a) {
             // The start of the plain file, kept by a run that was cut: the delta makes it useless.
             writeFile(a / ("Aide.txt." + libmaj::sha256(text6).substr(0, 16) + ".~prt"), text6.substr(0, 100));
             // Read-only, as a copy from a medium leaves it, grown past any bound by something
             // else, its last line cut by a power cut, and its last rewrite's new text left
             // beside it (here a folder, which would stand in the way of every rewrite).
             std::string full = "2026-01-01T00:00:00Z the oldest step\r\n";
             while (full.size() < 300000)
                 full += "2026-01-01T00:00:00Z an earlier run's step\r\n";
             writeFile(a / "Tidewell.log", full + "2026-01-01T00:00:00Z the newest earlier step\r\n2026-01-01T00:00:00Z cut");
             SetFileAttributesA((a / "Tidewell.log").c_str(), FILE_ATTRIBUTE_READONLY);
             CreateDirectoryA((a / "Tidewell.log.~maj").c_str(), nullptr);
         },
         {"Formes/Prog.exe.", "Formes/Aide.txt.", "/Maj/Tiny.ini"}, {"/Maj/Prog.exe", "/Maj/Aide.txt", ".zst", "Same.dat"}},
        {"a local file that is neither base nor new: compressed",
         [](ServerTree&, SignedApp& a) { writeFile(a / "Aide.txt", "the user's own help"); },
         {"Formes/Aide.txt.zst"}, {"Aide.txt.0", "/Maj/Aide.txt", "Same.dat"}},
        {"a delta tampered with on the server: compressed",
         [&](ServerTree& s, SignedApp&) {
             const std::string p = formPath(s, "Aide.txt", ".delta");
             std::string d = s.read(p);
             d[d.size() / 2] ^= 1;
             s.write(p, d);
         },
         {"Formes/Aide.txt.", ".delta", "Formes/Aide.txt.zst"}, {"/Maj/Aide.txt"}},
        {"a compressed file tampered with, no base: whole",
         [&](ServerTree& s, SignedApp& a) {
             writeFile(a / "Aide.txt", "the user's own help");
             std::string z = s.read("Formes/Aide.txt.zst");
             z[z.size() / 2] ^= 1;
             s.write("Formes/Aide.txt.zst", z);
         },
         {"Formes/Aide.txt.zst", "/Maj/Aide.txt"}, {}},
        {"a signed delta whose frame asks for a larger window than the decoder takes",
         [&](ServerTree& s, SignedApp&) {
             const std::string p = formPath(s, "Prog.exe", ".delta");
             replaceSigned(s, p, withWindowLog(s.read(p), 30));
         },
         {"Formes/Prog.exe.", "/Maj/Prog.exe"}, {}},
        {"a signed delta that decodes to other bytes",
         [&](ServerTree& s, SignedApp&) {
             const std::string p = formPath(s, "Prog.exe", ".delta");
             replaceSigned(s, p, s.read(formPath(s, "Aide.txt", ".delta")));
         },
         {"Formes/Prog.exe.", "/Maj/Prog.exe"}, {}},
        {"a signed delta made from another base of the same size: it decodes to other bytes of the right size",
         [&](ServerTree& s, SignedApp&) {
             // The delta of the same new file from a base that differs where the new file
             // kept the old bytes: decoded against the local base it copies those wrong.
             std::string other5 = program6;
             for (std::size_t k = 5000; k < other5.size(); k += 5000)
                 other5[k] ^= 0x5A;
             ServerTree other("Quillon");
             other.publish({{"Prog.exe", other5}, five5[1], five5[2], five5[3]}, "5", &signer5);
             other.publish(five6, "6", &signer6);
             replaceSigned(s, formPath(s, "Prog.exe", ".delta"), other.read(formPath(other, "Prog.exe", ".delta")));
         },
         {"Formes/Prog.exe.", "/Maj/Prog.exe"}, {}},
        {"a delta cut in every try: its bytes go before the compressed file comes",
         [&](ServerTree& s, SignedApp&) {
             const std::string delta = formPath(s, "Aide.txt", ".delta").substr(7);
             s.write("Formes/.httpsd.json", R"({"faults": {")" + delta
                                                + R"(": {"drop_after": 20}, "Aide.txt.zst": {"rate": 20000}}})");
         },
         {".delta", "Formes/Aide.txt.zst"}, {"/Maj/Aide.txt"}, countForms},
        {"a server that never answers for forms: the plain files, after one wait",
         [](ServerTree& s, SignedApp&) { s.write("Formes/.httpsd.json", R"({"faults": {"*": {"no_answer": true}}})"); },
         {"Formes/", "/Maj/Prog.exe", "/Maj/Aide.txt", "/Maj/Tiny.ini"}, {"Same.dat"}, {}, 1},
        {"no list of forms on the server: whole files", [](ServerTree& s, SignedApp&) { s.remove("Formes.ini"); },
         {"/Maj/Prog.exe", "/Maj/Aide.txt", "/Maj/Tiny.ini"}, {"Formes/", "/Maj/Same.dat"}},
        {"the list of forms of the previous release: whole files",
         [&](ServerTree& s, SignedApp&) {
             ServerTree old("Quillon");
             old.publish(five5, "5", &signer5);
             s.write("Formes.ini", old.read("Formes.ini"));
             s.write("SignatureFormes.ini", old.read("SignatureFormes.ini"));
         },
         {"/Maj/Prog.exe", "/Maj/Aide.txt"}, {"Formes/"}},
        {"the list of forms signed by another key: whole files",
         [&](ServerTree& s, SignedApp&) {
             s.write("SignatureFormes.ini",
                     tidewell::ecritsignature({1, testSigner(1, K3D, K3Q, 6, "").signe(s.read("Formes.ini"))}));
         },
         {"/Maj/Prog.exe", "/Maj/Aide.txt"}, {"Formes/"}},
        {"a file found in place that the user changes while another arrives: fetched after all",
         [&](ServerTree& s, SignedApp& a) {
             writeFile(a / "Aide.txt", "the user's own help");
             s.remove("Formes.ini");
             s.write(".httpsd.json", "{\"faults\": {\"Aide.txt\": {\"rate\": 60000}}}");
         },
         {"/Maj/Aide.txt", "/Maj/Same.dat"}, {"Formes/"},
         [](SignedApp& a) {
             const auto p = partials(a);
             if (!p.empty() && p.front().rfind("Aide.txt.", 0) == 0 && readFile(a / "Same.dat").size() != 4)
                 writeFile(a / "Same.dat", "mine");
         }},
        {"the release already in place: nothing fetched but the pages",
         [&](ServerTree&, SignedApp& a) {
             for (const auto& [name, content] : five6)
                 writeFile(a / name, content);
         },
         {}, {"/Maj/", "Formes/"}},
    };
    TempFolder published("tidewell-published");
    {
        ServerTree server("Abacor");
        server.publish(five5, "5", &signer5);
        server.publish(five6, "6", &signer6);
        server.saveTo(published.path());
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerTree server("Abacor");
        server.restoreFrom(published.path());
        SignedApp app("tidewell-forms");
        for (const auto& [name, content] : five5)
            writeFile(app / name, content);
        writeFile(app / "Etatmaj.ini", "Edition=5\r\nCle=1\r\n");
        c.setUp(server, app);
        const std::size_t logBefore = requestLog().size();
        const UpdaterRun run = runUpdater(app, "", "", c.meanwhile ? [&] { c.meanwhile(app); } : std::function<void()>());
        const std::string log = requestLog().substr(logBefore);
        EXPECT_FALSE(run.box) << run.box->text << "\nthe server saw:\n" << log;
        for (const auto& [name, content] : five6)
            EXPECT_TRUE(readFile(app / name) == content) << name;
        EXPECT_EQ(readFile(app / "Etatmaj.ini"), "Edition=6\r\nCle=1\r\n");
        const std::string runLog = readFile(app / "Tidewell.log");
        EXPECT_EQ(badLogLine(runLog), "");
        EXPECT_LE(runLog.size(), 64u * 1024);
        for (const char* step : {" start: signed run for ABACOR", " release 6 found at ", "/Abacor, key 1, ", " installed: release 6 recorded",
                                 " restart: "})
            EXPECT_NE(runLog.find(step), std::string::npos) << step << " not in the log:\n" << runLog;
        if (&c == &cases.front()) {
            for (const char* step : {" file 1 Aide.txt: delta, ", " file 2 Prog.exe: delta, ", " file 3 Same.dat: unchanged",
                                     " file 4 Tiny.ini: plain, 5 bytes", " the newest earlier step\r\n"})
                EXPECT_NE(runLog.find(step), std::string::npos) << step << " not in the log:\n" << runLog;
            EXPECT_EQ(runLog.find("the oldest step"), std::string::npos);
            EXPECT_FALSE(exists(app / "Tidewell.log.~maj"));
        }
        for (const auto& part : c.fetched)
            EXPECT_NE(log.find(part), std::string::npos) << part << " was not fetched; the server saw:\n" << log;
        for (const auto& part : c.notFetched)
            EXPECT_EQ(log.find(part), std::string::npos) << part << " was fetched; the server saw:\n" << log;
        if (c.formRequests >= 0) {
            int forms = 0;
            const std::string form = R"("path": "/Abacor/Formes/)";
            for (std::size_t at = log.find(form); at != std::string::npos; at = log.find(form, at + 1))
                ++forms;
            EXPECT_EQ(forms, c.formRequests) << log;
        }
        app.forgetRestarts();
        for (const auto& e : fs::directory_iterator(app.path())) {
            const std::string f = e.path().filename().string();
            EXPECT_TRUE(f.find(".~") == std::string::npos && (f == "A.sav" || f.find(".sav") == std::string::npos))
                << f << " left behind";
        }
    }
    EXPECT_FALSE(twoForms) << "a cut form's bytes stayed while another form arrived";
}

// A release published without deltas offers compressed files alone; a file that came that way
// is kept when a later one fails the run, and the next run does not fetch it again.
TEST(SignedRun, APublicationWithoutDeltasOffersCompressedFilesAlone)
{
    ServerTree server("Abacor");
    auto signer5 = testSigner(1, K1D, K1Q, 5, utcDay(30));
    auto signer6 = testSigner(1, K1D, K1Q, 6, utcDay(30));
    signer6.deltas = 0;
    std::string help5(200000, 'h'), help6 = help5;
    help6[100] = 'H';
    server.publish({{"Aide.txt", help5}}, "5", &signer5);
    server.publish({{"Aide.txt", help6}, {"Tiny.ini", "x=1\r\n"}}, "6", &signer6);
    EXPECT_EQ(server.read("Formes.ini").find("Delta="), std::string::npos);
    SignedApp app("tidewell-nodelta");
    writeFile(app / "Aide.txt", help5);
    server.write("Maj/.httpsd.json", R"({"faults": {"Tiny.ini": {"status": 500}}})");
    std::size_t logBefore = requestLog().size();
    UpdaterRun run = runUpdater(app);
    std::string log = requestLog().substr(logBefore);
    ASSERT_TRUE(run.box) << log;
    EXPECT_EQ(run.box->text, refusal("F2"));
    EXPECT_NE(log.find("Formes/Aide.txt.zst"), std::string::npos) << log;
    EXPECT_EQ(log.find("/Maj/Aide.txt"), std::string::npos) << log;
    EXPECT_EQ(readFile(app / "Aide.txt"), help5);
    EXPECT_TRUE(readFile(app / ("Aide.txt." + libmaj::sha256(help6).substr(0, 16) + ".~prt")) == help6);
    app.forgetRestarts();

    server.remove("Maj/.httpsd.json");
    logBefore = requestLog().size();
    run = runUpdater(app);
    log = requestLog().substr(logBefore);
    EXPECT_FALSE(run.box) << run.box->text;
    EXPECT_TRUE(readFile(app / "Aide.txt") == help6);
    EXPECT_EQ(readFile(app / "Tiny.ini"), "x=1\r\n");
    EXPECT_EQ(log.find("Aide.txt"), std::string::npos) << "kept whole, fetched again:\n" << log;
    const std::string runLog = readFile(app / "Tidewell.log");
    EXPECT_NE(runLog.find(" file 1 Aide.txt: kept by an earlier run, 200000 bytes, 0 received, "), std::string::npos)
        << runLog;
    EXPECT_TRUE(partials(app).empty());
}

namespace {

// The release the resume and mirror runs install: a file large enough to be cut, whose
// every prefix is its own, between small ones.
const std::vector<std::pair<std::string, std::string>> cuttable = {
    {"A.dll", "a v2"}, {"B.dll", programBytes(600000, 3)}, {"C.dat", "c v2"}, {"E.ini", ""}};

void publishCuttable(ServerTree& server, int daysValid = 30)
{
    const auto signer = testSigner(1, K1D, K1Q, 5, utcDay(daysValid));
    server.publish(cuttable, "5", &signer);
    server.remove("Formes.ini");   // whole files only: the cut is the plain file's
}

}  // namespace

// A signed file whose transfer is cut is taken up from the bytes kept, in the same run or the
// next, and only with the rest of that very file: an answer that is not exactly the rest is
// never spliced on, and what the kept bytes cannot be is started over.
TEST(SignedRun, ACutDownloadIsTakenUpWhereItStopped)
{
    const std::string& b = cuttable[1].second;
    struct Case {
        const char* what;
        std::vector<std::string> faults;   // B.dll's fault for each run; the last run installs
        std::function<void(SignedApp&)> setUp;
        std::vector<std::string> lastSaw, lastNot;   // in the last run's requests
        const char* logged;                          // in the run log
        int requestsForB = 0;                        // in the last run, when not 0
    };
    const std::string hex = libmaj::sha256(b).substr(0, 16);
    const std::vector<Case> cases = {
        {"cut once: the rest in the same run", {R"({"cut_once": 250000})"}, {},
         {R"("Range": "bytes=)", R"("sent": 250000)"}, {}, "B.dll: plain, resumed from byte "},
        {"a server that ignores Range: the file again whole", {R"({"cut_once": 250000, "ignore_range": true})"}, {},
         {R"("Range": "bytes=)"}, {}, "B.dll: plain, 600000 bytes"},
        {"a server that answers Range with a body of no stated length: the bytes kept until the whole is asked for",
         {R"({"cut_once": 250000, "ignore_range": true, "no_length": true})"}, {}, {R"("Range": "bytes=)"}, {},
         "B.dll: plain, 600000 bytes", 3},
        {"cut in every try of a run: the next run asks for the rest alone, and not for A.dll again",
         {R"({"drop_after": 250000, "ignore_range": true})", "{}"}, {}, {R"("Range": "bytes=250000-")"}, {"/Maj/A.dll"},
         "B.dll: plain, resumed from byte 250000"},
        {"a range other than the rest: never spliced, the whole file asked for",
         {R"({"cut_once": 250000, "range_offset": -1, "chunked": true})"}, {}, {R"("Range": "bytes=)"}, {},
         "B.dll: plain, 600000 bytes, 850000 received, "},
        {"a range answer with the right headers and no byte of the rest: the whole file asked for",
         {R"({"cut_once": 250000, "range_empty": true})"}, {}, {R"("Range": "bytes=250000-")"}, {},
         "B.dll: plain, 600000 bytes", 3},
        {"a range answer running past the rest without a length: the whole file asked for",
         {R"({"cut_once": 250000, "range_overrun": 1000})"}, {}, {R"("Range": "bytes=250000-")"}, {},
         "B.dll: plain, 600000 bytes", 3},
        {"a range answer running past the rest, then the whole file refused: the start kept for the next run",
         {R"({"cut_once": 250000, "range_overrun": 1000, "status_after_cut": 500})", "{}"}, {},
         {R"("Range": "bytes=250000-")"}, {}, "B.dll: plain, resumed from byte 250000", 1},
        {"kept bytes that are not the file's, and another release's: started over",
         {"{}"},
         [&](SignedApp& a) {
             writeFile(a / "Notes.~prt", "the user's own notes");
             writeFile(a / ("B.dll." + hex + ".~prt"), std::string(1000, 'x'));
             writeFile(a / "B.dll.0123456789abcdef.~prt", b.substr(0, 1000));
             writeFile(a / "Z.dll.0123456789abcdef.~prt", "no file of this release");
             // Under the name an empty file's download would take: never taken for it.
             writeFile(a / ("E.ini." + libmaj::sha256("").substr(0, 16) + ".~prt"), "planted");
         },
         {R"("Range": "bytes=1000-")"}, {"0123456789abcdef"}, "B.dll: plain, 600000 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerTree server("Abacor");
        publishCuttable(server);
        SignedApp app("tidewell-resume");
        if (c.setUp)
            c.setUp(app);
        const bool notes = exists(app / "Notes.~prt");   // a user's own file of that ending
        std::string log;
        for (std::size_t r = 0; r < c.faults.size(); ++r) {
            server.write("Maj/.httpsd.json", R"({"faults": {"B.dll": )" + c.faults[r] + "}}");
            const std::size_t logBefore = requestLog().size();
            const UpdaterRun run = runUpdater(app);
            log = requestLog().substr(logBefore);
            app.forgetRestarts();
            if (r + 1 < c.faults.size()) {
                // Refused, and what it kept of B.dll is only ever the start of B.dll.
                ASSERT_TRUE(run.box) << log;
                EXPECT_EQ(run.box->text, refusal("F2"));
                EXPECT_EQ(readFile(app / "B.dll"), "old B.dll");
                const std::string kept = readFile(app / ("B.dll." + hex + ".~prt"));
                EXPECT_TRUE(!kept.empty() && kept.size() < b.size() && b.compare(0, kept.size(), kept) == 0)
                    << kept.size() << " bytes kept";
                EXPECT_EQ(partials(app).size(), 2u) << "A.dll whole and the start of B.dll";
                continue;
            }
            EXPECT_FALSE(run.box) << run.box->text << "\nthe server saw:\n" << log;
        }
        for (const auto& [name, content] : cuttable)
            EXPECT_TRUE(readFile(app / name) == content) << name;
        if (notes) {
            EXPECT_EQ(readFile(app / "Notes.~prt"), "the user's own notes");
            DeleteFileA((app / "Notes.~prt").c_str());
        }
        EXPECT_TRUE(partials(app).empty()) << partials(app).front();
        for (const auto& part : c.lastSaw)
            EXPECT_NE(log.find(part), std::string::npos) << part << " not seen; the server saw:\n" << log;
        for (const auto& part : c.lastNot)
            EXPECT_EQ(log.find(part), std::string::npos) << part << " seen; the server saw:\n" << log;
        const std::string runLog = readFile(app / "Tidewell.log");
        EXPECT_NE(runLog.find(c.logged), std::string::npos) << runLog;
        int requests = 0;
        for (std::size_t at = log.find(R"("path": "/Abacor/Maj/B.dll")"); at != std::string::npos;
             at = log.find(R"("path": "/Abacor/Maj/B.dll")", at + 1))
            ++requests;
        if (c.requestsForB) {
            EXPECT_EQ(requests, c.requestsForB) << log;
        }
    }
}

// A build given several addresses takes the release from the first that serves it whole and
// each file from the first that brings it: an address that is down, or that fails a page or
// a file, costs a try, never the update.
TEST(SignedRun, MirrorsServeWhatAnAddressCannot)
{
    const std::string mirror = "https://localhost:" + std::to_string(TIDEWELL_TEST_MIRROR_PORT) + "/Abacor";
    const std::string mirrorPort = R"("port": )" + std::to_string(TIDEWELL_TEST_MIRROR_PORT);
    struct Case {
        const char* what;
        std::string faults;
        std::vector<std::string> logged;   // in the run log
        const char* refused = nullptr;
        const char* fromFirstAlive = nullptr;   // a file's log line that must name the main address
        int daysValid = 30;
    };
    const std::string main = "https://localhost:" + std::to_string(TIDEWELL_TEST_PORT) + "/Abacor";
    const std::vector<Case> cases = {
        {"the first address down: all from the mirror", "{}",
         {"release 5 found at " + mirror, "B.dll: plain, 600000 bytes, 600000 received, ", "ms, from " + mirror}},
        {"the mirror fails a file: it comes from the next address, and so does the next file",
         R"({"B.dll": {"status": 500, )" + mirrorPort + "}}",
         {"release 5 found at " + mirror, "B.dll: plain, 600000 bytes, 600000 received, ",
          "file 3 C.dat: plain, 4 bytes, 4 received, "}, nullptr, "file 3 C.dat: "},
        {"the mirror cuts a file in every try: the rest from the next address",
         R"({"B.dll": {"drop_after": 100000, )" + mirrorPort + "}}",
         {"B.dll: plain, resumed from byte 300000, 600000 bytes, 600000 received, ",
          "ms, from https://localhost:" + std::to_string(TIDEWELL_TEST_PORT) + "/Abacor"}},
        {"every address fails the file", R"({"B.dll": {"status": 500}})", {"file 2 B.dll: failed"}, "F2"},
        {"the first address down, the others serving an expired release: refused as expired", "{}",
         {}, "S8", nullptr, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerTree server("Abacor");
        publishCuttable(server, c.daysValid);
        server.write("Maj/.httpsd.json", R"({"faults": )" + c.faults + "}");
        SignedApp app("tidewell-mirrors", "", TIDEWELL_MIRRORS_EXE);
        const Snapshot before = snapshot(app.path());
        const std::size_t logBefore = requestLog().size();
        const UpdaterRun run = runUpdater(app);
        const std::string log = requestLog().substr(logBefore);
        const std::string runLog = readFile(app / "Tidewell.log");
        if (c.refused) {
            ASSERT_TRUE(run.box);
            EXPECT_EQ(run.box->text, refusal(c.refused));
            app.forgetRestarts();
            expectOnlyStartsOf(app, cuttable);
            EXPECT_EQ(difference(before, snapshot(app.path())), "");
        } else {
            EXPECT_FALSE(run.box) << run.box->text << "\nthe server saw:\n" << log;
            for (const auto& [name, content] : cuttable)
                EXPECT_TRUE(readFile(app / name) == content) << name;
        }
        for (const auto& step : c.logged)
            EXPECT_NE(runLog.find(step), std::string::npos) << step << " not in the log:\n" << runLog;
        if (c.fromFirstAlive) {
            const std::size_t at = runLog.find(c.fromFirstAlive);
            const std::string line = at == std::string::npos ? "" : runLog.substr(at, runLog.find("\r\n", at) - at);
            const std::string end = "from " + main;
            EXPECT_TRUE(line.size() >= end.size() && line.compare(line.size() - end.size(), end.size(), end) == 0)
                << line;
        }
    }
}

// Every name the updater writes, clears or deletes as its own (the run log, the records' and
// files' new texts, the partial downloads) may hold what a local user planted there: a second
// name of a read-only file elsewhere, or a folder. None is written or cleared through, none
// keeps the release from being installed, and the run log's absence is never a reason to fail.
TEST(SignedRun, NoNameTheUpdaterOwnsIsWrittenOrClearedThroughALink)
{
    const std::string hex = libmaj::sha256(cuttable[1].second).substr(0, 16);
    struct Case {
        std::string name;
        bool folder = false;   // a folder with a file in it, rather than a link
    };
    const std::vector<Case> cases = {
        {"Tidewell.log"}, {"Journalmaj.ini.~maj"}, {"Etatmaj.ini.~maj"}, {"A.dll.~maj"},
        {"B.dll." + hex + ".~prt"}, {"B.dll." + hex + ".~prt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + (c.folder ? " (a folder)" : ""));
        ServerTree server("Abacor");
        publishCuttable(server);
        SignedApp app("tidewell-links");
        TempFolder elsewhere("tidewell-elsewhere");
        writeFile(elsewhere / "victim.txt", "another program's file");
        SetFileAttributesA((elsewhere / "victim.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        if (c.folder) {
            ASSERT_TRUE(CreateDirectoryA((app / c.name).c_str(), nullptr));
            writeFile(app / c.name + "\\kept.txt", "a user's file");
        } else {
            ASSERT_TRUE(CreateHardLinkA((app / c.name).c_str(), (elsewhere / "victim.txt").c_str(), nullptr));
        }
        const UpdaterRun run = runUpdater(app);
        EXPECT_FALSE(run.box) << run.box->text;
        for (const auto& [name, content] : cuttable)
            EXPECT_TRUE(readFile(app / name) == content) << name;
        EXPECT_EQ(readFile(elsewhere / "victim.txt"), "another program's file");
        EXPECT_TRUE(GetFileAttributesA((elsewhere / "victim.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA((elsewhere / "victim.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        if (c.folder) {
            EXPECT_EQ(readFile(app / c.name + "\\kept.txt"), "a user's file");
        }
        // Whatever stood in the way is left whole where it was, or moved aside whole.
        for (const auto& e : fs::directory_iterator(app.path())) {
            const std::string f = e.path().filename().string();
            if (f.find(".~ecarte") != std::string::npos && !c.folder) {
                EXPECT_EQ(readFile(e.path().string()), "another program's file") << f;
            }
        }
    }
}
