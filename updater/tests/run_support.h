// Whole update runs of the real updater against the local HTTPS server: the server's tree,
// the application folder with its stand-ins, and a run followed to its end.
#pragma once

#include "publish.h"
#include "testsupport.h"
#include "uihelper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace runsupport {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempFolder;
using testsupport::writeFile;

inline fs::path www()
{
    return fs::path(std::getenv("TIDEWELL_TEST_WWW"));
}

// One application's tree on the test server, removed afterwards.
class ServerTree {
public:
    explicit ServerTree(const std::string& application) : dir_(www() / application)
    {
        fs::remove_all(dir_);
        fs::remove_all(tidewell::publication::historique(dir_));
        fs::create_directories(dir_ / "Maj");
    }
    ~ServerTree()
    {
        // A published tree is a link to the release's folder: both go, and the files of the
        // releases the maker's tool keeps beside it for the deltas.
        std::error_code ec;
        const fs::path release = fs::is_symlink(dir_, ec) ? fs::canonical(dir_, ec) : fs::path();
        fs::remove_all(dir_, ec);
        if (!release.empty())
            fs::remove_all(release, ec);
        fs::remove_all(tidewell::publication::historique(dir_), ec);
    }
    const fs::path& path() const { return dir_; }
    void write(const std::string& name, const std::string& content) { writeFile((dir_ / name).string(), content); }
    void remove(const std::string& name) { fs::remove(dir_ / name); }
    // Publishes these files with the maker's tool, signed when a signer is given, and offering
    // the updater `updater` (a program of this build's machine) when one is named. The maker's
    // refusal when there is one.
    std::string publish(const std::vector<std::pair<std::string, std::string>>& files, const std::string& version,
                        const tidewell::publication::Signataire* signer = nullptr, const std::string& updater = "")
    {
        TempFolder release("tidewell-release");
        for (const auto& [name, content] : files)
            writeFile(release / name, content);
        tidewell::publication::Release r{release.path(), version, "2", "12/03/2026"};
        r.programme = updater;
        r.machine = sizeof(void*) == 8 ? 0x8664 : 0x14c;
        const auto result = tidewell::publication::publie(r, dir_, signer);
        EXPECT_TRUE(result.erreurs.empty() || !updater.empty()) << result.erreurs.front();
        return result.erreurs.empty() ? std::string() : result.erreurs.front();
    }
    std::string read(const std::string& name) const { return readFile((dir_ / name).string()); }
    // The tree as published now, its files only (the maker's records of earlier releases stay
    // out), copied into `to`; and such a copy put in the place of the tree. Cases that each
    // start from the same publication copy it rather than have the maker's tool make its
    // deltas again.
    void saveTo(const fs::path& to) const { fs::copy(fs::canonical(dir_), to, fs::copy_options::recursive); }
    void restoreFrom(const fs::path& from)
    {
        fs::remove_all(dir_);
        fs::copy(from, dir_, fs::copy_options::recursive);
    }

private:
    fs::path dir_;
};

// An application folder with the updater, a stand-in for each application and what the test
// puts there.
class AppFolder {
public:
    explicit AppFolder(const char* prefix, const char* updater = TIDEWELL_EXE, const std::string& base = "")
        : folder_(prefix, base)
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
    // Waits for the stand-in's record and removes it, so that a snapshot of the folder shows
    // only what the updater left.
    void forgetRestarts(DWORD waitMs = 5000) const
    {
        restarts(waitMs);
        DeleteFileA((folder_ / "standin.log").c_str());
    }

private:
    TempFolder folder_;
};

struct UpdaterRun {
    DWORD exitCode = 999;
    std::string caption;                          // the window's caption while it was shown
    std::vector<testsupport::Pixels> frames;      // the window's client area, as it went
    std::optional<uihelper::MessageBoxView> box;  // a message box, answered with OK
    bool online = false;                          // the platform said it was connected at the start
    // For a failure's message: what the run could not have known from the server's log.
    std::string platform() const { return online ? "" : " (the test saw the platform offline); "; }
};

// Starts the updater in `app` from the working folder `from`, and follows it to its end.
// `meanwhile`, when given, is called about every 150 ms while the run goes on.
UpdaterRun runUpdater(const AppFolder& app, const std::string& arguments = "", const std::string& from = "",
                      const std::function<void()>& meanwhile = {});

// Starts the updater in `app` and kills it as soon as `now` says so; true when it was killed,
// false when it ended first. `now` is asked at once, whenever a file in the folder is made,
// removed, written or grows (as Wine reports writes: at once; Windows may report them only when
// its cache writes them out), and at the latest after the milliseconds it leaves in `wake` (20
// unless it says otherwise): a watcher that waits for a moment sets it to what is left.
bool killUpdaterWhen(const AppFolder& app, const std::function<bool(DWORD& wake)>& now);

// Waits until `done` says yes, asking it at once, whenever a file in `folder` is made, removed,
// written or grows, and every 20 ms; false when `ms` milliseconds went by first.
bool waitInFolder(const std::string& folder, DWORD ms, const std::function<bool()>& done);

std::string quoted(const std::string& path);
std::string standinLine(const std::string& exe, const std::string& cwd);

// The UTC day `days` from today, as "YYYY-MM-DD".
std::string utcDay(int days);

// A signer for the maker's tool with one of the tests' keys (`d`, `q`: private scalar and
// public point in hexadecimal), through the platform's ECDSA.
tidewell::publication::Signataire testSigner(int keyId, const std::string& d, const std::string& q,
                                             std::uint64_t release, const std::string& expires);

// Every file of a folder with its content, to compare a folder before and after; all but the
// run log.
using Snapshot = std::vector<std::pair<std::string, std::string>>;
Snapshot snapshot(const std::string& folder);
// The first line of a run log that is not one whole dated line ("YYYY-MM-DDTHH:MM:SSZ text"
// and CR LF), or "" when every line is.
std::string badLogLine(const std::string& log);
// The names whose content differs between two snapshots, or that only one holds.
std::string difference(const Snapshot& a, const Snapshot& b);

}  // namespace runsupport
