// The support routines on the real platform: profile files, window placement and pauses.
#include "placement.h"
#include "profile.h"
#include "screen.h"
#include "signature_check.h"
#include "text.h"
#include "wait.h"
#include "window_twips.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

using namespace libmaj;

namespace {

std::string tempFile(const char* name, const std::string& content)
{
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
}

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// A plain top-level window that counts what it handles.
struct Counting {
    static inline std::atomic<int> posted{0};
    static inline std::atomic<int> paints{0};
    static inline double postedHandledAt = 0;

    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
    {
        if (m == WM_APP) {
            ++posted;
            postedHandledAt = now();
            return 0;
        }
        if (m == WM_PAINT) {
            ++paints;
            PAINTSTRUCT ps;
            BeginPaint(w, &ps);
            EndPaint(w, &ps);
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }

    HWND window = nullptr;

    explicit Counting(bool visible)
    {
        static const ATOM cls = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "libmaj_test_window";
            return RegisterClassA(&wc);
        }();
        window = CreateWindowExA(WS_EX_TOOLWINDOW, MAKEINTATOM(cls), "test",
                                 WS_POPUP | WS_CAPTION | (visible ? WS_VISIBLE : 0), 10, 10, 200,
                                 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        posted = 0;
        paints = 0;
        cedemessages();
    }
    ~Counting() { DestroyWindow(window); }
};

}  // namespace

TEST(Lectureini, ReadsTheProfileFileThroughThePlatform)
{
    const std::string ini = tempFile("libmaj_test.ini",
                                     "[Application]\r\nNom = Abacor \r\nLangue=2\r\n"
                                     "Vide=\r\nGuillemets=\xA4x\xA4\r\n[Version]\r\nDate=12/03/2026\r\n");
    std::string v;
    EXPECT_EQ(lectureini(ini, "Application", "Nom", 20, v), 1);
    EXPECT_EQ(v, "Abacor");   // spaces around the value are the profile reader's to drop
    EXPECT_EQ(lectureini(ini, "application", "NOM", 5, v), 1);
    EXPECT_EQ(v, "Abac");
    EXPECT_EQ(lectureini(ini, "Application", "Guillemets", 20, v), 1);
    EXPECT_EQ(v, "\"x\"");
    EXPECT_EQ(lectureini(ini, "Version", "Date", 15, v), 1);
    EXPECT_EQ(v, "12/03/2026");
    EXPECT_EQ(lectureini(ini, "Application", "Vide", 20, v), 0);
    EXPECT_EQ(v, "");
    EXPECT_EQ(lectureini(ini, "Application", "Absente", 20, v), 0);
    EXPECT_EQ(lectureini(ini, "Absente", "Nom", 20, v), 0);
    EXPECT_EQ(lectureini(ini + ".absent", "Application", "Nom", 20, v), 0);
    EXPECT_EQ(v, "");
    DeleteFileA(ini.c_str());
}

TEST(Centrefenetre, CentresARealWindowOnTheScreen)
{
    Counting w(false);
    FenetreTwips forme(w.window);
    centrefenetre(forme, 7500, 2850);
    RECT r;
    ASSERT_TRUE(GetWindowRect(w.window, &r));
    const Resolution dpi = resolutionecran();
    EXPECT_EQ(r.right - r.left, (7500 * dpi.x + 720) / 1440);
    EXPECT_EQ(r.bottom - r.top, (2850 * dpi.y + 720) / 1440);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(r.left, (sw - (r.right - r.left)) / 2.0, 1.0);
    EXPECT_NEAR(r.top, (sh - (r.bottom - r.top)) / 2.0, 1.0);
}

TEST(Centrefenetre, AWindowWiderThanTheScreenGoesToItsEdge)
{
    Counting w(false);
    FenetreTwips forme(w.window);
    const Ecran e = ecranentwips();
    centrefenetre(forme, static_cast<std::int16_t>(e.largeur + 1500), 2850);
    RECT r;
    ASSERT_TRUE(GetWindowRect(w.window, &r));
    EXPECT_EQ(r.left, 0);
    EXPECT_GT(r.top, 0);
}

TEST(Attente, NegativeDurationHandlesNoMessage)
{
    Counting w(false);
    PostMessageA(w.window, WM_APP, 0, 0);
    attente(-0.5f);
    EXPECT_EQ(Counting::posted, 0);
    attente(0.0f);
    EXPECT_EQ(Counting::posted, 1);
}

TEST(Attente, LastsMoreThanItsDuration)
{
    const double start = now();
    attente(0.3f);
    const double elapsed = now() - start;
    EXPECT_GT(elapsed, 0.3);
    EXPECT_LT(elapsed, 5.0);
}

TEST(Attente, HandlesMessagesAndRepaintsWhileWaiting)
{
    Counting w(true);
    InvalidateRect(w.window, nullptr, TRUE);
    double postedAt = 0;
    std::thread poster([&] {
        Sleep(200);
        postedAt = now();
        PostMessageA(w.window, WM_APP, 0, 0);
    });
    attente(1.0f);
    const double endedAt = now();
    poster.join();
    EXPECT_GE(Counting::paints, 1);
    ASSERT_EQ(Counting::posted, 1);
    // Handled as it arrived, not when the pause was over.
    EXPECT_GE(Counting::postedHandledAt, postedAt);
    EXPECT_LT(Counting::postedHandledAt, endedAt - 0.3);
}

TEST(Attente, KeepsAQuitRequestForTheThreadsOwnLoop)
{
    PostQuitMessage(3);
    attente(0.05f);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

// What the publishing tool signs with OpenSSL, the updater verifies with the platform's CNG:
// one signature made by OpenSSL for test key 1, and the changes that must break it.
TEST(Signatures, TheUpdaterVerifiesWhatOpenSslSignedAndNothingElse)
{
    Sha256 parts;
    parts.ajoute("a", 1);
    parts.ajoute("bc", 2);
    EXPECT_EQ(parts.fin(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    const auto bytes = [](const std::string& hex) { return *octetsdepuishexa(hex); };
    const auto verifies = [&](const std::string& q, const std::string& message, const std::string& rs) {
        unsigned char key[64], digest[32], signature[64];
        const auto k = bytes(q), d = bytes(sha256(message)), s = bytes(rs);
        std::copy(k.begin(), k.end(), key);
        std::copy(d.begin(), d.end(), digest);
        std::copy(s.begin(), s.end(), signature);
        return verifiesignature(key, digest, signature);
    };
    const std::string key1 = "bc27384efeb068d5d6dfbd35aaec6e0a0b06e64071f1fa75d52ce711d5583168"
                             "e3acd14c514731bfca97738856f4274803e5a49f197f4e055c931390e14309d9";
    const std::string key2 = "543be61e9f55d1348a996958043cc872eb54d36c0e303706c5fd4830624472479"
                             "b8d7bf1f40cb3c82170ad6fbc4349d19f91e5a50442a4e80359c4fd7a83c52c";
    const std::string message = "signed by OpenSSL\r\n";
    std::string rs = "3e2261eca5f440eb9e8f2b75575026781b6ddb00493280dc7ebd53276643512d"
                     "bab062fb71154220fb23acc28320014efdc22c7656fe227fe6ebce41bba00ba5";
    EXPECT_TRUE(verifies(key1, message, rs));
    EXPECT_FALSE(verifies(key2, message, rs));
    EXPECT_FALSE(verifies(key1, "signed by OpenSSL\n", rs));
    EXPECT_FALSE(verifies(key1, message, std::string(128, '0')));
    rs[70] = rs[70] == '0' ? '1' : '0';
    EXPECT_FALSE(verifies(key1, message, rs));
}
