// Page fetches and downloads against the local HTTPS test server.
#include "file_handles.h"
#include "internet.h"
#include "online_first.h"
#include "run_state.h"
#include "signature_check.h"
#include "testsupport.h"
#include "uihelper.h"
#include "wait.h"
#include "web_request.h"
#include "web_rules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

using namespace libmaj;
using testsupport::TempFolder;

namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string server()
{
    return env("TIDEWELL_TEST_SERVER");
}

std::int16_t fetch(const std::string& path, std::string& page, std::int16_t messages = 0)
{
    return lecturepage("Mise \xE0 jour des Fichiers", messages, server() + path, "Corvane", page);
}

}  // namespace

TEST(Lecturepage, ABodyLongerThanOneReadArrivesWholeAndInOrder)
{
    std::string page;
    EXPECT_EQ(fetch("/pages/long.txt", page), 1);
    EXPECT_EQ(page, testsupport::generated(3000));
}

// Wine never answers from its URL cache nor asks for credentials by itself, so no run here can
// show these: the flags every request and redirect hop carries are checked instead.
TEST(Lecturepage, NeverFromTheCacheNorWithTheUsersCredentialsOrCookies)
{
    for (const DWORD flag : std::initializer_list<DWORD>{INTERNET_FLAG_RELOAD, INTERNET_FLAG_PRAGMA_NOCACHE,
                                                          INTERNET_FLAG_NO_CACHE_WRITE, INTERNET_FLAG_NO_COOKIES,
                                                          INTERNET_FLAG_NO_AUTO_REDIRECT})
        EXPECT_EQ(drapeauxrequetes & flag, flag) << std::hex << flag;
}

TEST(Lecturepage, AnEmptyBodyIsAnEmptyPage)
{
    std::string page = "ancienne";
    EXPECT_EQ(fetch("/pages/empty.txt", page), 1);
    EXPECT_EQ(page, "");
}

TEST(Lecturepage, MissingPageMarkersInAnyCase)
{
    std::string page;
    EXPECT_EQ(fetch("/pages/erreur.txt", page), 2);
    EXPECT_EQ(page, "Cette page : erreur 404 introuvable\r\n");
    EXPECT_EQ(fetch("/pages/inside.txt", page), 2);
    EXPECT_EQ(page, "debut-ERROR 404-fin");
    EXPECT_EQ(fetch("/erreur404/absent.txt", page), 2);
    EXPECT_NE(page.find("Erreur 404"), std::string::npos);
}

TEST(Lecturepage, AnErrorStatusWithoutMarkerIsAMissingPage)
{
    std::string page;
    EXPECT_EQ(fetch("/pages/absent.txt", page), 2);
    EXPECT_NE(page.find("Not Found"), std::string::npos);   // the body is kept
    EXPECT_FALSE(contientmarqueur(page));
    for (const char* path : {"/pages/servererror.txt", "/pages/badrequest.txt", "/pages/multiple.txt"})
        EXPECT_EQ(fetch(path, page), 2) << path;
}

TEST(Lecturepage, ABodyCutShortTooLargeOrNotAsSentIsAMissingPage)
{
    std::string page;
    EXPECT_EQ(fetch("/pages/dropped.txt", page), 2);
    EXPECT_EQ(fetch("/pages/huge.txt", page), 2);
    EXPECT_EQ(page, "");
    // Redirects: followed on https only, and five in a row at most.
    for (const char* path : {"/pages/moved.txt", "/pages/fivehops.txt"}) {
        EXPECT_EQ(fetch(path, page), 1) << path;
        EXPECT_EQ(page, testsupport::generated(3000)) << path;
    }
    for (const char* path : {"/pages/tohttp.txt", "/pages/loop.txt", "/pages/sixhops.txt", "/pages/packed.txt"})
        EXPECT_EQ(fetch(path, page), 2) << path;
    // Without a length a cut cannot be told from the end: missing, unless the caller checks
    // the page against its signed hash (then even the cut one comes as it came).
    for (const char* path : {"/pages/chunked.txt", "/pages/cutchunks.txt", "/pages/unsized.txt"}) {
        EXPECT_EQ(fetch(path, page), 2) << path;
        EXPECT_EQ(lecturepage("T", 0, server() + path, "Corvane", page, taillemaxpage, true), 1) << path;
    }
    EXPECT_EQ(page, testsupport::generated(3000));
    // No more than the caller will take.
    EXPECT_EQ(lecturepage("T", 0, server() + "/pages/long.txt", "Corvane", page, 2999), 2);
    EXPECT_EQ(lecturepage("T", 0, server() + "/pages/long.txt", "Corvane", page, 3000), 1);
}

TEST(Lecturepage, ASilentOrDrippingServerIsGivenUpInBoundedTime)
{
    // The dripping one sends 1 KiB every 5 s: every wait for a read would be met.
    for (const char* path : {"/pages/stalled.txt", "/pages/silent.txt", "/pages/dripping.txt"}) {
        const double start = horlogemonotone();
        std::string page;
        EXPECT_EQ(fetch(path, page), 2) << path;
        EXPECT_LT(horlogemonotone() - start, delaipage() + 3) << path;
    }
}

// A build with TIDEWELL_PROXY "system" goes through the proxy of the user's settings (the
// tests' CONNECT proxy logs each tunnel), a direct one never; a proxy that wants credentials
// is a missing page, never a prompt. Run in a prefix of its own, whose settings it sets.
TEST(Lecturepage, ThroughTheUsersProxyOnlyWhenTheBuildSaysSo)
{
    HKEY reglages = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &reglages, nullptr), ERROR_SUCCESS);
    const DWORD active = 1;
    const std::string proxy = env("TIDEWELL_TEST_PROXY");
    RegSetValueExA(reglages, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&active), sizeof active);
    RegSetValueExA(reglages, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(proxy.c_str()),
                   static_cast<DWORD>(proxy.size() + 1));
    RegCloseKey(reglages);
    const std::string log = env("TIDEWELL_TEST_PROXY_LOG");
    const std::string tunnel = "CONNECT localhost:" + server().substr(server().rfind(':') + 1);
    TempFolder folder("libmaj-proxy");
    for (const bool systeme : {false, true}) {
        etat().proxysysteme = systeme;
        const std::size_t before = testsupport::readFile(log).size();
        std::string page;
        EXPECT_EQ(fetch("/pages/long.txt", page), 1) << systeme;
        EXPECT_EQ(telechargefichier(server() + "/maj/new.bin", folder / "Prog.exe"), 1) << systeme;
        const std::string seen = testsupport::readFile(log).substr(before);
        EXPECT_EQ(seen.find(tunnel) != std::string::npos, systeme) << seen;
    }
    std::string page;
    EXPECT_EQ(lecturepage("T", 0, env("TIDEWELL_TEST_UNTRUSTED") + "/pages/long.txt", "Corvane", page), 2);
    // The proxy's own answer to CONNECT, a page or a redirect to the real server, is read in
    // clear text: neither is taken, and no file is written from it.
    const std::string port = server().substr(server().rfind(':'));
    for (const char* meddler : {"203", "302"}) {
        const std::string base = std::string("https://") + meddler + ".answer.invalid" + port;
        page = "ancienne";
        EXPECT_EQ(lecturepage("T", 0, base + "/pages/long.txt", "Corvane", page), 2) << meddler;
        EXPECT_TRUE(page.empty()) << meddler;
        EXPECT_EQ(telechargefichier(base + "/maj/new.bin", folder / "Clair.exe"), 0) << meddler;
        EXPECT_FALSE(testsupport::exists(folder / "Clair.exe")) << meddler;
    }
    etat().proxysysteme = false;
}

TEST(Lecturepage, AnUnreachableOrUntrustedServerIsAMissingPage)
{
    std::string page;
    EXPECT_EQ(lecturepage("T", 0, "https://localhost:1/x.ini", "Corvane", page), 2);
    EXPECT_EQ(lecturepage("T", 0, env("TIDEWELL_TEST_UNTRUSTED") + "/pages/long.txt", "Corvane", page), 2);
    EXPECT_EQ(page, "");
}

TEST(Lecturepage, WithMessagesAnAddressThatCannotBeOpenedIsReported)
{
    etat().langue = 2;
    std::string page;
    const auto boxes = uihelper::answering({IDOK}, [&] {
        EXPECT_EQ(lecturepage("Update Files", 1, "https://localhost:1/x.ini", "Corvane", page), 2);
    });
    ASSERT_EQ(boxes.size(), 1u);
    const auto* box = &boxes.front();
    EXPECT_EQ(box->title, "Update Files");
    EXPECT_EQ(box->text, "Unable to access the Internet Page on \r\nthe [Corvane] site. ");
    etat().langue = 1;
}

TEST(Lecturepage, SendsTheAgentAndLeavesNothingInTheUrlCache)
{
    const std::string path = "/pages/long.txt?agent=" + std::to_string(GetTickCount());
    const std::string address = server() + path;
    // A copy of the page in the cache, as another program could have left it.
    {
        PoigneeInternet session(InternetOpenA("cache", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
        PoigneeInternet request(InternetOpenUrlA(session.get(), address.c_str(), nullptr, 0, 0, 0));
        char buffer[4096];
        DWORD n = 0;
        while (InternetReadFile(request.get(), buffer, sizeof buffer, &n) && n > 0) {
        }
    }
    DWORD cached = 0;
    GetUrlCacheEntryInfoA(address.c_str(), nullptr, &cached);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << "no cache entry to remove";
    std::string page;
    EXPECT_EQ(fetch(path, page), 1);
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoA(address.c_str(), nullptr, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const std::string log = testsupport::readFile(env("TIDEWELL_TEST_REQUEST_LOG"));
    const auto line = log.rfind("\"path\": \"" + path + "\"");
    ASSERT_NE(line, std::string::npos);
    const std::string entry = log.substr(line, log.find('\n', line) - line);
    EXPECT_NE(entry.find("\"User-Agent\": \"OPEN_INTERNET\""), std::string::npos) << entry;
}

namespace {

class Download : public ::testing::Test {
protected:
    TempFolder folder{"libmaj-download"};
    std::string dest = folder / "Prog.exe";

    std::int16_t download(const std::string& path) { return telechargefichier(server() + path, dest); }
    bool leftovers() const
    {
        bool partial = false;
        for (const auto& e : std::filesystem::directory_iterator(folder.path()))
            partial |= e.path().extension() == ".~prt";
        return partial || testsupport::exists(folder / "Prog.sav") || testsupport::exists(nomtemporaire(dest));
    }
};

}  // namespace

TEST_F(Download, ReplacesAReadOnlyFileAndLeavesNoBackup)
{
    testsupport::writeFile(dest, "ancienne version");
    SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(download("/maj/new.bin"), 1);
    EXPECT_TRUE(testsupport::readFile(dest) == testsupport::generated(300000));
    EXPECT_FALSE(leftovers());
}

TEST_F(Download, CreatesAFileThatDidNotExist)
{
    EXPECT_EQ(download("/maj/new.bin"), 1);
    EXPECT_TRUE(testsupport::readFile(dest) == testsupport::generated(300000));
    EXPECT_FALSE(leftovers());
}

namespace {

// The window's turns while a download's body was partly in: the timer's callback runs only
// when the thread's messages are served. At full speed few reads wait, and so serve them:
// the download's loop must.
std::string arriving;
constexpr DWORD arrivingsize = 20 << 20;   // the server's bench/small.bin
int turnsarriving = 0;
void CALLBACK turn(HWND, UINT, UINT_PTR, DWORD)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(arriving.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0 &&
        data.nFileSizeLow < arrivingsize)
        ++turnsarriving;
}

}  // namespace

TEST_F(Download, ServesTheWindowWhileABodyArrivesAtFullSpeed)
{
    arriving = nomtemporaire(dest);
    turnsarriving = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, turn);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(download("/bench/small.bin"), 1);
    KillTimer(nullptr, timer);
    EXPECT_GT(turnsarriving, 0);
}

TEST_F(Download, AFailedDownloadKeepsTheOldFile)
{
    // Errors, cut bodies, bodies whose end cannot be told (no length, chunks), bodies not as
    // sent, other statuses, redirects to plain http or in a loop, and silent servers.
    // Also: six redirects in a row, and bodies slower than 64 KiB in each window, whether
    // steady or one byte at a time.
    for (const char* path : {"/maj/absent.bin", "/maj/broken.bin", "/maj/dropped.bin", "/maj/unsized.bin",
                             "/maj/chunked.bin", "/maj/cutchunks.bin", "/maj/packed.bin",
                             "/maj/multiple.bin", "/maj/tohttp.bin", "/maj/loop.bin", "/maj/sixhops.bin",
                             "/maj/underrun.bin", "/maj/stalled.bin", "/maj/silent.bin",
                             "/maj/trickle.bin", "/maj/bytes.bin"}) {
        testsupport::writeFile(dest, "ancienne version");
        const double start = horlogemonotone();
        EXPECT_EQ(download(path), 0) << path;
        EXPECT_LT(horlogemonotone() - start, delaireponse() + 2 * delailecture() + 3) << path;
        EXPECT_TRUE(testsupport::readFile(dest) == "ancienne version") << path;
        EXPECT_FALSE(leftovers()) << path;
    }
}

TEST_F(Download, ARedirectOnHttpsIsFollowedAndAnOverrunSpoilsNoLaterAnswer)
{
    // Redirects, up to five in a row; and a slow link that keeps moving is waited for.
    for (const auto& [path, size] : {std::pair<const char*, std::size_t>{"/maj/moved.bin", 300000},
                                     {"/maj/fivehops.bin", 300000}, {"/maj/honest.bin", 100000}}) {
        std::remove(dest.c_str());
        EXPECT_EQ(download(path), 1) << path;
        EXPECT_TRUE(testsupport::readFile(dest) == testsupport::generated(size)) << path;
    }
    // A page that ran past its length, then a download: on a reused connection the leftover
    // bytes would have been taken for the download's answer.
    std::string page;
    fetch("/pages/overrun.txt", page);
    std::remove(dest.c_str());
    EXPECT_EQ(download("/maj/new.bin"), 1);
    EXPECT_TRUE(testsupport::readFile(dest) == testsupport::generated(300000));
}

TEST_F(Download, AReplaceThatFailsKeepsTheOldFileAndLeavesNothing)
{
    testsupport::writeFile(dest, "ancienne version");
    // Open for reading by someone who does not allow it to be renamed over: the backup can
    // be made, the final replace cannot.
    HANDLE held = CreateFileA(dest.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(download("/maj/new.bin"), 0);
    CloseHandle(held);
    EXPECT_EQ(testsupport::readFile(dest), "ancienne version");
    EXPECT_FALSE(leftovers());

    // A rename that fails once the destination has gone (another program deleted it, or a
    // file system that replaces by deleting first): the backup takes its place again.
    Arrivee arrivee = telechargeverifie(server() + "/maj/new.bin", dest, {300000, sha256(testsupport::generated(300000))});
    ASSERT_TRUE(arrivee);
    const auto lost = [](HANDLE, const std::string& destination, bool) {
        DeleteFileA(destination.c_str());
        return false;
    };
    EXPECT_EQ(arrivee.remplace(lost), 0);
    EXPECT_EQ(testsupport::readFile(dest), "ancienne version");
    EXPECT_FALSE(leftovers());
}

TEST_F(Download, ASignedFileIsTakenWithoutALengthButNeverWithAnotherOne)
{
    const Attendu signe{300000, sha256(testsupport::generated(300000))};
    const std::string partial = nompartiel(dest, signe.sha256);
    // Its size and hash prove a body sent in chunks whole; cut short, it is not, and what came
    // is kept for the next try, which asks for the rest alone: cut after every 100000 bytes
    // sent, the file is whole by its third try, here taking up what a server that ignores
    // ranges left.
    struct Case {
        const char* path;
        bool arrives;
        std::size_t kept;
    };
    for (const Case& c : {Case{"/maj/chunked.bin", true, 0}, Case{"/maj/cutchunks-norange.bin", false, 100000},
                          Case{"/maj/cutchunks.bin", true, 0}}) {
        Arrivee arrivee = telechargeverifie(server() + c.path, dest, signe);
        EXPECT_EQ(static_cast<bool>(arrivee), c.arrives) << c.path;
        EXPECT_EQ(arrivee.place(), c.arrives) << c.path;
        if (c.arrives) {
            EXPECT_TRUE(testsupport::readFile(dest) == testsupport::generated(300000)) << c.path;
        }
        EXPECT_EQ(testsupport::exists(partial) ? testsupport::readFile(partial).size() : 0, c.kept) << c.path;
        std::remove(dest.c_str());
    }
    EXPECT_FALSE(leftovers());
    // Given up at once: a length other than the signed size, before its body; a body sent in
    // chunks as soon as it runs past the signed size (it would go on for 200 MB). Either
    // would take many seconds here to arrive.
    for (const char* path : {"/maj/short.bin", "/maj/runaway.bin"}) {
        const double start = horlogemonotone();
        EXPECT_FALSE(telechargeverifie(server() + path, dest, signe)) << path;
        EXPECT_LT(horlogemonotone() - start, 1.5) << path;
        EXPECT_FALSE(leftovers()) << path;
    }
}

TEST_F(Download, AFailedDownloadOntoAMissingFileCreatesNothing)
{
    EXPECT_EQ(download("/maj/dropped.bin"), 0);
    EXPECT_FALSE(testsupport::exists(dest));
    EXPECT_FALSE(leftovers());
}

TEST_F(Download, AStaleBackupNeverReplacesAGoodFile)
{
    testsupport::writeFile(dest, "bonne version");
    testsupport::writeFile(folder / "Prog.sav", "sauvegarde perimee");
    testsupport::writeFile(nomtemporaire(dest), "reception interrompue");
    EXPECT_EQ(download("/maj/broken.bin"), 0);
    EXPECT_EQ(testsupport::readFile(dest), "bonne version");
    EXPECT_EQ(download("/maj/new.bin"), 1);
    EXPECT_TRUE(testsupport::readFile(dest) == testsupport::generated(300000));
    EXPECT_FALSE(leftovers());
}

namespace {

std::mutex flushedLock;
std::vector<std::pair<std::string, LONGLONG>> flushed;   // the file's name and size at each flush

BOOL WINAPI countingFlush(HANDLE file)
{
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    char name[MAX_PATH * 2] = {};
    const DWORD length = GetFinalPathNameByHandleA(file, name, sizeof name, 0);
    std::string path(name, length < sizeof name ? length : 0);
    path = path.substr(path.find_last_of('\\') + 1);
    {
        std::lock_guard<std::mutex> hold(flushedLock);
        flushed.emplace_back(path, size.QuadPart);
    }
    return FlushFileBuffers(file);
}

}  // namespace

// A file takes its final name only once all of it is on the disk: a power cut after the
// rename must not find the name holding a file whose blocks never reached it. Nothing outside
// the process can see a flush, so they are counted where the updater makes them.
TEST_F(Download, EveryFileIsOnTheDiskWholeBeforeItTakesItsName)
{
    struct Restore {
        decltype(vidange) previous = vidange;
        ~Restore() { vidange = previous; }
    } restore;
    vidange = countingFlush;
    const auto flushedLast = [] {
        std::lock_guard<std::mutex> hold(flushedLock);
        const auto last = flushed.empty() ? std::pair<std::string, LONGLONG>{"none", -1} : flushed.back();
        flushed.clear();
        return last;
    };
    using Flush = std::pair<std::string, LONGLONG>;
    EXPECT_EQ(download("/maj/new.bin"), 1);
    EXPECT_EQ(flushedLast(), Flush("Prog.exe.~maj", 300000));   // still under its temporary name
    const Attendu signedFile{300000, sha256(testsupport::generated(300000))};
    EXPECT_TRUE(telechargeverifie(server() + "/maj/new.bin", folder / "Signe.exe", signedFile).place(true));
    EXPECT_EQ(flushedLast(), Flush("Signe.exe." + signedFile.sha256.substr(0, 16) + ".~prt", 300000));
    EXPECT_TRUE(ecritdurable(folder / "Etatmaj.ini", "Edition=5\r\nCle=1\r\n"));
    EXPECT_EQ(flushedLast(), Flush("Etatmaj.ini.~maj", 18));
    // A backup is made under its own name, and must be whole before the file it keeps is replaced.
    EXPECT_TRUE(copieverifiee(dest, folder / "Prog.exe.sav"));
    EXPECT_EQ(flushedLast(), Flush("Prog.exe.sav", 300000));
}
