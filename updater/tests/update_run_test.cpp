// Whole update runs of the real Tidewell.exe against the local HTTPS server, with stand-ins
// for the applications that record how they were started.
#include "run_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::exists;
using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

namespace {

using namespace runsupport;
const std::string LB = "\r\n";

// Geometry of the window's client area at 96 dots per inch (15 twips a pixel).
constexpr RECT troughInner = {154, 66, 471, 87};
constexpr RECT estimateLine = {152, 128, 400, 141};
constexpr COLORREF barColour = RGB(255, 224, 192);
constexpr COLORREF troughColour = RGB(224, 224, 224);

bool inked(const testsupport::Pixels& p, const RECT& r)
{
    for (int y = r.top; y < r.bottom && y < p.height; ++y)
        for (int x = r.left; x < r.right && x < p.width; ++x) {
            const COLORREF c = p.at(x, y);
            if (GetRValue(c) < 110 && GetGValue(c) < 110 && GetBValue(c) < 110)
                return true;
        }
    return false;
}

const std::string notFoundFrench = "Information : " + LB + std::string(45, '_') + LB + LB
                                   + "Application \xE0 mettre \xE0 jour Introuvable ... ";

}  // namespace

TEST(UpdateRun, ReplacesEveryFileShowsProgressAndRestartsTheApplication)
{
    ServerTree server("Abacor");
    const std::string prog(150000, 'P');
    server.publish({{"Prog.exe", prog}, {"Aide.hlp", "aide v2"}, {"Base.mdb", "base v2"}, {"Lisez-moi", "v2"}}, "5");
    AppFolder app("tidewell-full");
    writeFile(app / "Abacor.ini", "");
    writeFile(app / "Prog.exe", "prog v1");
    writeFile(app / "Aide.hlp", "aide v1");
    SetFileAttributesA((app / "Aide.hlp").c_str(), FILE_ATTRIBUTE_READONLY);
    writeFile(app / "Version.ini", "[Version]\r\nVersion=ancienne\r\n");
    TempFolder elsewhere("tidewell-cwd");
    const std::string log = std::getenv("TIDEWELL_TEST_REQUEST_LOG");
    const std::size_t logBefore = readFile(log).size();

    const UpdaterRun run = runUpdater(app, "", elsewhere.path());
    EXPECT_EQ(run.exitCode, 0u);
    // A build without release keys asks for the three update files and the listed files only.
    const std::string requests = readFile(log).substr(logBefore);
    EXPECT_EQ(requests.find("Manifeste.ini"), std::string::npos);
    EXPECT_EQ(requests.find("Signature.ini"), std::string::npos);
    EXPECT_EQ(requests.find("\"Range\""), std::string::npos);
    EXPECT_NE(requests.find("/Abacor/Listfich.ini"), std::string::npos);
    EXPECT_FALSE(run.box);
    EXPECT_EQ(run.caption, "  Mise \xE0 jour des Fichiers");
    EXPECT_EQ(readFile(app / "Prog.exe"), prog);
    EXPECT_EQ(readFile(app / "Aide.hlp"), "aide v2");
    EXPECT_EQ(readFile(app / "Base.mdb"), "base v2");
    EXPECT_EQ(readFile(app / "Lisez-moi"), "v2");
    for (const char* left : {"Prog.sav", "Aide.sav", "Base.sav", "Lisez-moi.sav", "Listfich.ini", "Version.ini",
                             "Tidewell.log"})
        EXPECT_FALSE(exists(app / left)) << left;
    // Started once, by its quoted path, without arguments, shown normally, in the updater's
    // own working folder.
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", elsewhere.path()));

    // The window as it went: the first file with an empty bar, then the estimate, then the
    // full bar with the finished text.
    ASSERT_FALSE(run.frames.empty());
    const auto& first = run.frames.front();
    EXPECT_EQ(first.at(troughInner.left, troughInner.top), troughColour);
    const testsupport::Pixels* estimate = nullptr;
    for (const auto& f : run.frames)
        if (!estimate && inked(f, estimateLine))
            estimate = &f;
    ASSERT_NE(estimate, nullptr) << "the estimate never appeared";
    EXPECT_EQ(estimate->at(troughInner.left, troughInner.top), barColour);
    EXPECT_EQ(estimate->at(troughInner.right - 1, troughInner.top), troughColour);
    const auto& last = run.frames.back();
    EXPECT_EQ(last.at(troughInner.right - 1, troughInner.top), barColour);
    EXPECT_TRUE(testsupport::savePng(first, "update_run_first_file.png"));
    EXPECT_TRUE(testsupport::savePng(*estimate, "update_run_estimate.png"));
    EXPECT_TRUE(testsupport::savePng(last, "update_run_finished.png"));
}

TEST(UpdateRun, InstallUpdatesWithoutRestarting)
{
    ServerTree server("Abacor");
    server.publish({{"Prog.exe", "prog v2"}}, "5");
    AppFolder app("tidewell-install");
    writeFile(app / "Abacor.ini", "");
    const UpdaterRun run = runUpdater(app, " Install ");
    EXPECT_EQ(readFile(app / "Prog.exe"), "prog v2");
    EXPECT_EQ(app.restarts(2000), "");
    EXPECT_FALSE(exists(app / "Listfich.ini"));
}

TEST(UpdateRun, TheSettingsFileChoosesApplicationAndLanguage)
{
    ServerTree server("Abacor");
    server.publish({{"Prog.exe", "prog v2"}}, "5");
    AppFolder app("tidewell-settings");
    writeFile(app / "Tidewell.ini", "[Application]\r\nNom=abacor\r\nLangue=2\r\n");
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(run.caption, "  Update Files");
    EXPECT_EQ(readFile(app / "Prog.exe"), "prog v2");
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
}

TEST(UpdateRun, ASettingsFileWithoutNameFindsNoApplication)
{
    ServerTree server("Abacor");
    server.publish({{"Prog.exe", "prog v2"}}, "5");
    AppFolder app("tidewell-noname");
    writeFile(app / "Tidewell.ini", "[Application]\r\nLangue=1\r\n");
    writeFile(app / "Abacor.ini", "");
    const UpdaterRun run = runUpdater(app);
    ASSERT_TRUE(run.box);
    EXPECT_EQ(run.box->title, "T\xE9l\xE9" "chargement");
    EXPECT_EQ(run.box->text, notFoundFrench);
    EXPECT_TRUE(run.frames.empty());   // the window was never shown
    EXPECT_FALSE(exists(app / "Prog.exe"));
}

TEST(UpdateRun, TheSecondApplicationsMarkerMeansEnglish)
{
    ServerTree server("Quillon");
    server.publish({{"Quillon.dat", "q v2"}}, "7");
    AppFolder app("tidewell-quillon");
    writeFile(app / "Quillon.ini", "");
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(run.caption, "  Update Files");
    EXPECT_EQ(readFile(app / "Quillon.dat"), "q v2");
    EXPECT_EQ(app.restarts(), standinLine(app / "Quillon.exe", app.path()));
}

TEST(UpdateRun, WithBothMarkersTheFirstApplicationWins)
{
    ServerTree abacor("Abacor");
    abacor.publish({{"Prog.exe", "prog v2"}}, "5");
    AppFolder app("tidewell-both");
    writeFile(app / "Abacor.ini", "");
    writeFile(app / "Quillon.ini", "");
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(run.caption, "  Mise \xE0 jour des Fichiers");
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
}

TEST(UpdateRun, WithoutVersionOrSizeFilesTheRunGoesOn)
{
    ServerTree server("Abacor");
    server.publish({{"Prog.exe", "prog v2"}}, "5");
    server.remove("Version.ini");
    server.remove("Taillefich.ini");
    AppFolder app("tidewell-noversion");
    writeFile(app / "Abacor.ini", "");
    writeFile(app / "Version.ini", "[Version]\r\nVersion=locale\r\n");
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(readFile(app / "Prog.exe"), "prog v2");
    EXPECT_EQ(readFile(app / "Version.ini"), "[Version]\r\nVersion=locale\r\n");   // left alone
    ASSERT_FALSE(run.frames.empty());
    for (const auto& f : run.frames)
        EXPECT_FALSE(inked(f, estimateLine));   // no size: no estimate
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
}

TEST(UpdateRun, AnEmptyListGoesStraightToTheRestart)
{
    ServerTree server("Abacor");
    server.write("Listfich.ini", "");
    AppFolder app("tidewell-emptylist");
    writeFile(app / "Abacor.ini", "");
    const UpdaterRun run = runUpdater(app);
    EXPECT_FALSE(run.box);
    ASSERT_FALSE(run.frames.empty());
    EXPECT_EQ(run.frames.back().at(troughInner.left, troughInner.top), troughColour);
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
    EXPECT_FALSE(exists(app / "Listfich.ini"));
}

TEST(UpdateRun, AMissingListEndsWithTheNotFoundMessageUnderTheLanguageTitle)
{
    ServerTree server("Abacor");
    server.write("Version.ini", "[Version]\r\nVersion=5\r\n");
    AppFolder app("tidewell-nolist");
    writeFile(app / "Abacor.ini", "");
    const UpdaterRun run = runUpdater(app);
    ASSERT_TRUE(run.box);
    EXPECT_EQ(run.box->title, "Mise \xE0 jour des Fichiers");
    EXPECT_EQ(run.box->text, notFoundFrench);
    EXPECT_EQ(app.restarts(2000), "");
}

TEST(UpdateRun, AServerAnsweringMissingPagesWithError404TextIsMissingPages)
{
    ServerTree server("Abacor");
    server.write(".httpsd.json", "{\"missing\": \"200-error\"}");
    AppFolder app("tidewell-error404");
    writeFile(app / "Abacor.ini", "");
    const UpdaterRun run = runUpdater(app);
    ASSERT_TRUE(run.box);
    EXPECT_EQ(run.box->title, "Mise \xE0 jour des Fichiers");
    EXPECT_FALSE(exists(app / "Listfich.ini"));
}

TEST(UpdateRun, NamesLeadingOutsideTheFolderOrToAnotherNameAreNeverDownloaded)
{
    TempFolder outside("tidewell-outside");
    ServerTree server("Abacor");
    // This server serves every name, however it leads: only the updater can keep them out.
    server.write(".httpsd.json", "{\"serve_missing\": \"hors du dossier\"}");
    server.write("Maj/Prog.exe", "prog v2");
    const std::string absolute = outside / "evil.txt";
    server.write("Listfich.ini", "..\\evil.txt\r\n" + absolute + "\r\nsub\\..\\..\\evil.txt\r\nProg.exe\r\n"
                                 "td.txt.\r\nProg.sav\r\n");
    AppFolder app("tidewell-names");
    writeFile(app / "Abacor.ini", "");
    writeFile(app / "td.txt", "mine");
    const std::string parent = app.path().substr(0, app.path().find_last_of('\\'));
    DeleteFileA((parent + "\\evil.txt").c_str());   // what an earlier, faulty build may have left
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(readFile(app / "Prog.exe"), "prog v2");
    EXPECT_FALSE(exists(absolute));
    EXPECT_FALSE(exists(parent + "\\evil.txt"));
    EXPECT_EQ(readFile(app / "td.txt"), "mine");   // "td.txt." would land on it
    EXPECT_FALSE(exists(app / "Prog.sav"));
    ASSERT_FALSE(run.frames.empty());
    EXPECT_EQ(run.frames.back().at(troughInner.right - 1, troughInner.top), barColour);   // all counted
}

// A server that redirects to plain http or in a loop, sends bodies compressed, without a
// length, in cut chunks, or falls silent: each such file stays as it was, the others are
// installed, nothing is left behind, and the run ends.
TEST(UpdateRun, AHostileServerChangesNoFileItDidNotSendWhole)
{
    const std::vector<std::string> hostile = {"ToHttp.dll", "Loop.dll", "Packed.dll", "Unsized.dll",
                                              "CutChunks.dll", "Stalled.dll", "Multiple.dll"};
    ServerTree server("Abacor");
    server.write("Maj/.httpsd.json", R"({"faults": {
        "Moved.dll": {"redirect": "/Abacor/Maj/Good.dll", "status": 301},
        "ToHttp.dll": {"redirect": "http://localhost:{port}/Abacor/Maj/Good.dll"},
        "Loop.dll": {"redirect": "/Abacor/Maj/Loop.dll"},
        "Packed.dll": {"generate": 20000, "encoding": "gzip"},
        "Unsized.dll": {"generate": 20000, "no_length": true},
        "CutChunks.dll": {"generate": 200000, "chunked": true, "drop_after": 70000},
        "Stalled.dll": {"generate": 200000, "stall_after": 70000},
        "Multiple.dll": {"generate": 20000, "status": 300}}})");
    server.write("Maj/Good.dll", "good v2");
    std::string list = "Good.dll\r\nMoved.dll\r\n";
    for (const auto& name : hostile)
        list += name + "\r\n";
    server.write("Listfich.ini", list);
    AppFolder app("tidewell-hostile");
    writeFile(app / "Abacor.ini", "");
    for (const auto& name : hostile)
        writeFile(app / name, "old " + name);
    const ULONGLONG start = GetTickCount64();
    const UpdaterRun run = runUpdater(app, "Install");
    EXPECT_EQ(run.exitCode, 0u);
    // The waits of a run plus one silent server's time-out, with room to spare.
    EXPECT_LT(GetTickCount64() - start, 60000u);
    EXPECT_EQ(readFile(app / "Good.dll"), "good v2");
    EXPECT_EQ(readFile(app / "Moved.dll"), "good v2");   // an https redirect is followed
    for (const auto& name : hostile)
        EXPECT_EQ(readFile(app / name), "old " + name) << name;
    for (const auto& entry : fs::directory_iterator(app.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.find(".sav") == std::string::npos && name.find(".~maj") == std::string::npos
                    && name != "Listfich.ini")
            << name << " left behind";
    }
}

// One whole run against Debian's nginx, set up as a maker would, serving the publishing
// tool's tree (the program built to ask it).
TEST(UpdateRun, AStockWebServerServesAPublishedTree)
{
    const fs::path tree = fs::path(std::getenv("TIDEWELL_TEST_NGINX_WWW")) / "Abacor";
    fs::remove_all(tree);
    TempFolder release("tidewell-nginx-release");
    std::string data(400000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((13 * i) % 253);
    writeFile(release / "Abacor.dat", data);
    writeFile(release / "Aide.hlp", "aide v3");
    const auto published = tidewell::publication::publie({release.path(), "3", "0", "07/12/2026"}, tree);
    ASSERT_TRUE(published.erreurs.empty()) << published.erreurs.front();
    AppFolder app("tidewell-nginx", TIDEWELL_NGINX_EXE);
    writeFile(app / "Abacor.ini", "");
    writeFile(app / "Abacor.dat", "v2");
    const UpdaterRun run = runUpdater(app);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.box);
    EXPECT_TRUE(readFile(app / "Abacor.dat") == data);
    EXPECT_EQ(readFile(app / "Aide.hlp"), "aide v3");
    for (const char* left : {"Abacor.sav", "Aide.sav", "Listfich.ini", "Abacor.dat.~maj"})
        EXPECT_FALSE(exists(app / left)) << left;
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
    fs::remove_all(tree);
}

TEST(UpdateRun, AnApplicationFolderWithSpacesIsRestartedByItsQuotedPath)
{
    ServerTree server("Abacor");
    server.publish({{"Prog.exe", "prog v2"}}, "5");
    AppFolder app("tidewell mes programmes");
    writeFile(app / "Abacor.ini", "");
    runUpdater(app);
    EXPECT_EQ(readFile(app / "Prog.exe"), "prog v2");
    EXPECT_EQ(app.restarts(), standinLine(app / "Abacor.exe", app.path()));
}

// Built with TIDEWELL_PROXY "system", the updater reaches its server through the proxy of the
// user's settings (set here in a prefix of the test's own): every request of the run is a
// tunnel in the proxy's log. The default build, with the same settings, goes direct.
TEST(UpdateRun, TheSystemProxyBuildGoesThroughTheUsersProxyAndTheDefaultOneNever)
{
    ASSERT_EQ(testsupport::runToEnd("reg add \"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\" "
                                    "/v ProxyEnable /t REG_DWORD /d 1 /f"), 0u);
    ASSERT_EQ(testsupport::runToEnd("reg add \"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\" "
                                    "/v ProxyServer /d " + std::string(std::getenv("TIDEWELL_TEST_PROXY")) + " /f"),
              0u);
    ServerTree server("Abacor");
    server.publish({{"Prog.exe", "prog v2"}}, "5");
    const std::string log = std::getenv("TIDEWELL_TEST_PROXY_LOG");
    for (const auto& [updater, tunnels] : {std::pair<const char*, int>{TIDEWELL_PROXY_EXE, 4}, {TIDEWELL_EXE, 0}}) {
        AppFolder app("tidewell-proxy", updater);
        writeFile(app / "Abacor.ini", "");
        const std::string requests = std::getenv("TIDEWELL_TEST_REQUEST_LOG");
        const std::size_t before = readFile(log).size(), requestsBefore = readFile(requests).size();
        const ULONGLONG started = GetTickCount64();
        const UpdaterRun run = runUpdater(app);
        EXPECT_EQ(readFile(app / "Prog.exe"), "prog v2")
            << updater << " ended with " << run.exitCode << " after " << GetTickCount64() - started << " ms"
            << run.platform()
            << (run.box ? ", box: " + run.box->text : std::string()) << "; the server saw:\n"
            << readFile(requests).substr(requestsBefore);
        // Version, list, size and the one file.
        const std::string seen = readFile(log).substr(before);
        int count = 0;
        for (auto at = seen.find("CONNECT localhost:"); at != std::string::npos; at = seen.find("CONNECT localhost:", at + 1))
            ++count;
        EXPECT_EQ(count, tunnels) << updater << ": " << seen;
    }
}
