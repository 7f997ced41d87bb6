// Whole update runs of the real Tidewell.exe against the local HTTPS server, with stand-ins
// for the applications that record how they were started.
#include "publish.h"
#include "testsupport.h"
#include "uihelper.h"

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

const std::string LB = "\r\n";

fs::path www()
{
    return fs::path(std::getenv("TIDEWELL_TEST_WWW"));
}

// One application's tree on the test server, removed afterwards.
class ServerTree {
public:
    explicit ServerTree(const std::string& application) : dir_(www() / application)
    {
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "Maj");
    }
    ~ServerTree()
    {
        // A published tree is a link to the release's folder: both go.
        std::error_code ec;
        const fs::path release = fs::is_symlink(dir_, ec) ? fs::canonical(dir_, ec) : fs::path();
        fs::remove_all(dir_, ec);
        if (!release.empty())
            fs::remove_all(release, ec);
    }
    void write(const std::string& name, const std::string& content) { writeFile((dir_ / name).string(), content); }
    void remove(const std::string& name) { fs::remove(dir_ / name); }
    // Publishes these files with the maker's tool.
    void publish(const std::vector<std::pair<std::string, std::string>>& files, const std::string& version)
    {
        TempFolder release("tidewell-release");
        for (const auto& [name, content] : files)
            writeFile(release / name, content);
        const auto r = tidewell::publication::publie({release.path(), version, "2", "12/03/2026"}, dir_);
        ASSERT_TRUE(r.erreurs.empty()) << r.erreurs.front();
    }

private:
    fs::path dir_;
};

// An application folder with the updater, a stand-in for each application and what the test
// puts there.
class AppFolder {
public:
    explicit AppFolder(const char* prefix, const char* updater = TIDEWELL_EXE) : folder_(prefix)
    {
        EXPECT_TRUE(CopyFileA(updater, (folder_ / "Tidewell.exe").c_str(), FALSE));
        EXPECT_TRUE(CopyFileA(STANDIN_EXE, (folder_ / "Abacor.exe").c_str(), FALSE));
        EXPECT_TRUE(CopyFileA(STANDIN_EXE, (folder_ / "Quillon.exe").c_str(), FALSE));
    }
    std::string operator/(const std::string& name) const { return folder_ / name; }
    const std::string& path() const { return folder_.path(); }
    // What the stand-ins recorded. The updater does not wait for the program it starts, so the
    // record may come a moment after the updater has ended.
    std::string restarts(DWORD waitMs = 5000) const
    {
        const ULONGLONG end = GetTickCount64() + waitMs;
        std::string log;
        while ((log = readFile(folder_ / "standin.log")).empty() && GetTickCount64() < end)
            Sleep(100);
        return log;
    }

private:
    TempFolder folder_;
};

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

struct UpdaterRun {
    DWORD exitCode = 999;
    std::string caption;                          // the window's caption while it was shown
    std::vector<testsupport::Pixels> frames;      // the window's client area, as it went
    std::optional<uihelper::MessageBoxView> box;  // a message box, answered with OK
};

// Starts the updater in `app` from the working folder `from`, and follows it to its end.
UpdaterRun runUpdater(const AppFolder& app, const std::string& arguments = "", const std::string& from = "")
{
    UpdaterRun run;
    std::string line = "\"" + (app / "Tidewell.exe") + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const std::string cwd = from.empty() ? app.path() : from;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si, &pi))
        return run;
    const ULONGLONG deadline = GetTickCount64() + 90000;
    while (WaitForSingleObject(pi.hProcess, 150) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
        if (!run.box) {
            const auto boxes = uihelper::messageBoxesOf(pi.dwProcessId);
            if (!boxes.empty()) {
                run.box = uihelper::readMessageBox(boxes.front());
                uihelper::pressButton(boxes.front(), IDOK);
                continue;
            }
        }
        HWND window = testsupport::findWindowOf(pi.dwProcessId, "TidewellMain", true);
        if (!window)
            continue;
        char caption[128] = {};
        GetWindowTextA(window, caption, sizeof caption);
        run.caption = caption;
        RECT client;
        GetClientRect(window, &client);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        OffsetRect(&client, origin.x, origin.y);
        testsupport::Pixels frame = testsupport::captureScreen(client);
        // Only frames the window has painted: a window just shown may still be black.
        if (frame.width > 2 && frame.height > 2 && frame.at(2, 2) == GetSysColor(COLOR_BTNFACE))
            run.frames.push_back(std::move(frame));
    }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(pi.hProcess, 998);
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::string standinLine(const std::string& exe, const std::string& cwd)
{
    return "cmd=" + quoted(exe) + "|cwd=" + cwd + "|show=1\n";
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

    const UpdaterRun run = runUpdater(app, "", elsewhere.path());
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.box);
    EXPECT_EQ(run.caption, "  Mise \xE0 jour des Fichiers");
    EXPECT_EQ(readFile(app / "Prog.exe"), prog);
    EXPECT_EQ(readFile(app / "Aide.hlp"), "aide v2");
    EXPECT_EQ(readFile(app / "Base.mdb"), "base v2");
    EXPECT_EQ(readFile(app / "Lisez-moi"), "v2");
    for (const char* left : {"Prog.sav", "Aide.sav", "Base.sav", "Lisez-moi.sav", "Listfich.ini", "Version.ini"})
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
