// Whole runs of an updater built with the tests' release keys (1 current, 2 next; floor 3)
// against releases signed, tampered with and replayed on the local HTTPS server.
#include "run_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace runsupport;
using testsupport::exists;

namespace {

const std::string K1D = TEST_KEY1_D, K1Q = TEST_KEY1_Q;
const std::string K2D = TEST_KEY2_D, K2Q = TEST_KEY2_Q;
const std::string K3D = TEST_KEY3_D, K3Q = TEST_KEY3_Q;

// The UTC day `days` from today, as "YYYY-MM-DD".
std::string utcDay(int days)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart += static_cast<long long>(days) * 864000000000LL;
    const FILETIME then = {t.LowPart, t.HighPart};
    SYSTEMTIME s;
    FileTimeToSystemTime(&then, &s);
    char text[16];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", s.wYear, s.wMonth, s.wDay);
    return text;
}

const std::vector<std::pair<std::string, std::string>> five = {
    {"A.dll", "a v2"}, {"B.dll", std::string(600000, 'b')}, {"C.dat", "c v2"}, {"D.hlp", "d v2"}, {"E.txt", "e v2"}};

void publishFive(ServerTree& server, int keyId, const std::string& d, const std::string& q, std::uint64_t release,
                 const std::string& expires)
{
    const auto signer = testSigner(keyId, d, q, release, expires);
    server.publish(five, "5", &signer);
}

struct SignedApp : AppFolder {
    explicit SignedApp(const char* prefix) : AppFolder(prefix, TIDEWELL_SIGNED_EXE)
    {
        writeFile(*this / "Abacor.ini", "");
        writeFile(*this / "Version.ini", "[Version]\r\nVersion=4\r\n");   // the application's own
        for (const auto& [name, content] : five)
            writeFile(*this / name, "old " + name);
    }
};

std::string refusal(const std::string& code)
{
    return "La mise \xE0 jour n'a pas pu \xEAtre v\xE9rifi\xE9" "e : aucun fichier n'a \xE9t\xE9 modifi\xE9.\r\n"
           "The update could not be verified: no file was changed.\r\n\r\nCode : " + code;
}

std::string requestLog()
{
    return readFile(std::getenv("TIDEWELL_TEST_REQUEST_LOG"));
}

}  // namespace

TEST(SignedRun, ASignedReleaseInstallsWholeAndIsRecorded)
{
    ServerTree server("Abacor");
    publishFive(server, 1, K1D, K1Q, 5, utcDay(30));
    SignedApp app("tidewell-signed");
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.box) << run.box->text;
    for (const auto& [name, content] : five)
        EXPECT_TRUE(readFile(app / name) == content) << name;
    EXPECT_EQ(readFile(app / "Etatmaj.ini"), "Edition=5\r\nCle=1\r\n");
    EXPECT_EQ(readFile(app / "Version.ini"), "[Version]\r\nVersion=4\r\n");
    for (const char* left : {"A.sav", "B.sav", "B.dll.~maj", "Listfich.ini", "Etatmaj.ini.~maj"})
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
        {"a size file that is not the signed one, of the same length", "S9",
         [&](ServerTree& s, SignedApp&) {
             standard(s);
             std::string size = s.read("Taillefich.ini");
             size[0] = size[0] == '9' ? '8' : '9';
             s.write("Taillefich.ini", size);
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
        EXPECT_EQ(run.box->text, refusal(c.code));
        EXPECT_EQ(run.box->icon, uihelper::Icon::stop);
        EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
        DeleteFileA((app / "standin.log").c_str());
        EXPECT_TRUE(snapshot(app.path()) == before) << "the folder changed";
        if (c.code[0] == 'S') {
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

    const auto signer = testSigner(1, K1D, K1Q, 7, utcDay(30));
    server.publish({{"A.dll", "a v3"}}, "7", &signer);
    const UpdaterRun run = runUpdater(app);
    ASSERT_TRUE(run.box);
    EXPECT_EQ(run.box->text, refusal("S6"));
    EXPECT_EQ(readFile(app / "A.dll"), "a v2");
    EXPECT_EQ(readFile(app / "Etatmaj.ini"), "Edition=6\r\nCle=2\r\n");
}
