// The support routines on the real platform: profile files, window placement and pauses.
#include "placement.h"
#include "profile.h"
#include "screen.h"
#include "wait.h"
#include "window_twips.h"

#include <windows.h>

#include <gtest/gtest.h>

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
