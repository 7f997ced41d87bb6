#include "run_support.h"

#include "signature_check.h"
#include "text.h"

#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace runsupport {

namespace {

// In a prefix started a moment ago, Wine's device service may not be up yet, and until it is
// the platform says there is no connection: the updater would then fetch nothing, which is not
// what any test here is about. Waited for once a test program: a platform that never says so
// costs one wait, not one a run.
bool onlineOnce()
{
    static bool waited = false;
    const bool online = testsupport::waitUntilOnline(waited ? 0 : 10000);
    waited = true;
    return online;
}

bool startUpdater(const AppFolder& app, const std::string& arguments, const std::string& from,
                  PROCESS_INFORMATION& pi)
{
    const std::string line = "\"" + (app / "Tidewell.exe") + "\"" + (arguments.empty() ? "" : " " + arguments);
    return testsupport::startProcess(line, from.empty() ? app.path() : from, pi);
}

}  // namespace

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

namespace {

// What wakes a watcher: a change of a file's name, size or last write in one folder.
class FolderChanges {
public:
    explicit FolderChanges(const std::string& folder)
        : handle_(FindFirstChangeNotificationA(folder.c_str(), FALSE,
                                               FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE
                                                   | FILE_NOTIFY_CHANGE_LAST_WRITE))
    {
        EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << "no change notification for " << folder;
    }
    ~FolderChanges()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindCloseChangeNotification(handle_);
    }
    FolderChanges(const FolderChanges&) = delete;
    FolderChanges& operator=(const FolderChanges&) = delete;
    enum class Woken { ended, changed, timedOut };
    // Waits for a change, for `process` to end (when given) or for `ms` milliseconds; ready for
    // the next change afterwards.
    Woken wait(HANDLE process, DWORD ms)
    {
        HANDLE handles[2];
        DWORD count = 0;
        if (process)
            handles[count++] = process;
        if (handle_ != INVALID_HANDLE_VALUE)
            handles[count++] = handle_;
        if (count == 0) {
            Sleep(ms);
            return Woken::timedOut;
        }
        const DWORD r = WaitForMultipleObjects(count, handles, FALSE, ms);
        if (r < WAIT_OBJECT_0 + count && handles[r - WAIT_OBJECT_0] == process)
            return Woken::ended;
        if (r == WAIT_TIMEOUT)
            return Woken::timedOut;
        if (r != WAIT_FAILED && FindNextChangeNotification(handle_))
            return Woken::changed;
        // A watch that fails (the folder gone, a handle refused) would wake at once, forever:
        // the watcher looks on the clock alone from then on.
        const DWORD error = GetLastError();
        if (handle_ != INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "the folder's changes can no longer be watched: error " << error;
            FindCloseChangeNotification(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
        if (r == WAIT_FAILED)
            Sleep(ms);
        return Woken::timedOut;
    }

private:
    HANDLE handle_;
};

// A watcher that asks for nothing else still looks this often: a change that the platform
// reports late, or not at all, is seen that much later, never missed.
constexpr DWORD lookAgain = 20;

}  // namespace

bool waitInFolder(const std::string& folder, DWORD ms, const std::function<bool()>& done)
{
    FolderChanges changes(folder);
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        changes.wait(nullptr, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, lookAgain)));
    }
}

bool killUpdaterWhen(const AppFolder& app, const std::function<bool(DWORD& wake)>& now)
{
    onlineOnce();
    // Watched before the start, so that no change of the run's first moments is missed.
    FolderChanges changes(app.path());
    PROCESS_INFORMATION pi = {};
    if (!startUpdater(app, "", "", pi)) {
        const DWORD error = GetLastError();
        ADD_FAILURE() << "the updater could not be started: error " << error;
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + 90000;
    bool killed = false;
    for (;;) {
        DWORD wake = lookAgain;
        if (now(wake)) {
            killed = TerminateProcess(pi.hProcess, 997) != 0;
            break;
        }
        const ULONGLONG t = GetTickCount64();
        if (t >= deadline) {
            ADD_FAILURE() << "the updater did not end within 90 s: stopped";
            TerminateProcess(pi.hProcess, 998);
            break;
        }
        if (changes.wait(pi.hProcess, static_cast<DWORD>(std::min<ULONGLONG>(deadline - t, wake)))
            == FolderChanges::Woken::ended)
            break;
    }
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return killed;
}

UpdaterRun runUpdater(const AppFolder& app, const std::string& arguments, const std::string& from,
                      const std::function<void()>& meanwhile)
{
    UpdaterRun run;
    run.online = onlineOnce();
    PROCESS_INFORMATION pi = {};
    if (!startUpdater(app, arguments, from, pi)) {
        const DWORD error = GetLastError();
        ADD_FAILURE() << "the updater could not be started: error " << error;
        return run;
    }
    const ULONGLONG deadline = GetTickCount64() + 90000;
    while (WaitForSingleObject(pi.hProcess, 150) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
        if (meanwhile)
            meanwhile();
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
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        ADD_FAILURE() << "the updater did not end within 90 s: stopped";
        TerminateProcess(pi.hProcess, 998);
    }
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

namespace {

std::vector<unsigned char> bytes(const std::string& hex)
{
    return libmaj::octetsdepuishexa(hex).value_or(std::vector<unsigned char>());
}

// r||s of the SHA-256 of `data`, in hexadecimal; empty on failure.
std::string sign(const std::string& d, const std::string& q, const std::string& data)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) != 0)
        return {};
    const libmaj::Algorithme owned(algorithm);
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB));
    const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    for (const auto& part : {bytes(q), bytes(d)})
        blob.insert(blob.end(), part.begin(), part.end());
    BCRYPT_KEY_HANDLE key = nullptr;
    if (blob.size() != sizeof header + 96
        || BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPRIVATE_BLOB, &key, blob.data(),
                               static_cast<ULONG>(blob.size()), 0) != 0)
        return {};
    std::vector<unsigned char> digest = bytes(libmaj::sha256(data));
    unsigned char rs[64];
    ULONG written = 0;
    const NTSTATUS status = BCryptSignHash(key, nullptr, digest.data(), 32, rs, sizeof rs, &written, 0);
    BCryptDestroyKey(key);
    return status == 0 && written == 64 ? libmaj::hexadepuisoctets(rs, 64) : std::string();
}

}  // namespace

tidewell::publication::Signataire testSigner(int keyId, const std::string& d, const std::string& q,
                                             std::uint64_t release, const std::string& expires)
{
    tidewell::publication::Signataire s;
    s.cle = keyId;
    s.edition = release;
    s.expire = expires;
    s.sha256 = [](const std::string& data) { return libmaj::sha256(data); };
    s.sha256fichier = [](const fs::path& file) { return libmaj::sha256(readFile(file.string())); };
    s.signe = [d, q](const std::string& data) { return sign(d, q, data); };
    // The tree's current release is trusted through the updater's own verifier.
    s.connues.push_back({keyId, q});
    s.verifie = [](const std::string& key, const std::string& rs, const std::string& data) {
        const auto k = bytes(key), r = bytes(rs), digest = bytes(libmaj::sha256(data));
        unsigned char kk[64], rr[64], dd[32];
        if (k.size() != 64 || r.size() != 64 || digest.size() != 32)
            return false;
        std::copy(k.begin(), k.end(), kk);
        std::copy(r.begin(), r.end(), rr);
        std::copy(digest.begin(), digest.end(), dd);
        return libmaj::verifiesignature(kk, dd, rr);
    };
    return s;
}

std::string difference(const Snapshot& a, const Snapshot& b)
{
    std::string names;
    for (const auto* one : {&a, &b})
        for (const auto& [name, content] : *one) {
            const Snapshot& other = one == &a ? b : a;
            const auto it = std::find_if(other.begin(), other.end(), [&](const auto& e) { return e.first == name; });
            if ((it == other.end() || it->second != content) && names.find(" " + name + " ") == std::string::npos)
                names += " " + name + " ";
        }
    return names;
}

std::string badLogLine(const std::string& log)
{
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t end = log.find("\r\n", start);
        const std::string line = log.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const bool dated = line.size() > 21 && line[4] == '-' && line[7] == '-' && line[10] == 'T' && line[19] == 'Z'
                           && line[20] == ' ';
        if (end == std::string::npos || !dated)
            return line.empty() ? "(an unended line)" : line;
        start = end + 2;
    }
    return "";
}

Snapshot snapshot(const std::string& folder)
{
    std::vector<std::pair<std::string, std::string>> files;
    // The run log, which every signed run appends to whatever it does, is the folder's one
    // file that changes; the tests read it on their own.
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename() != "Tidewell.log")
            files.emplace_back(fs::relative(entry.path(), folder).string(), readFile(entry.path().string()));
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace runsupport
