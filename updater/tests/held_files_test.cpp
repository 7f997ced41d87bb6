// Whole signed runs while another program still holds files of the application: the install
// waits, bounded and shown on the window, for those it replaces, and never for the others.
#include "main_window.h"
#include "run_support.h"
#include "run_texts.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

using namespace runsupport;

namespace {

const std::string K1D = TEST_KEY1_D, K1Q = TEST_KEY1_Q;

// The pixels of the run window's activity line as it shows `text`, drawn by the window's own
// code in this process, off screen.
struct ActivityLine {
    RECT area{};
    std::vector<COLORREF> pixels;

    explicit ActivityLine(const std::string& text)
    {
        tidewell::FenetreMain window(GetModuleHandleA(nullptr));
        window.libelle(0, text);
        area = window.rectangle(tidewell::Element::libelles0);
        RECT client;
        GetClientRect(window.handle(), &client);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ old = SelectObject(dc, bitmap);
        window.dessine(dc);
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                pixels.push_back(GetPixel(dc, x, y));
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    bool shownIn(const testsupport::Pixels& frame) const
    {
        if (frame.width < area.right || frame.height < area.bottom || area.right <= area.left)
            return false;
        std::size_t i = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (frame.at(x, y) != pixels[i++])
                    return false;
        return true;
    }
};

// A copy of the signed updater with release 4 of Abacor, A.dll a real library.
struct Copy : AppFolder {
    explicit Copy(const std::string& settings) : AppFolder("tidewell-held", TIDEWELL_SIGNED_EXE)
    {
        writeFile(*this / "Abacor.ini", "");
        if (!settings.empty())
            writeFile(*this / "Tidewell.ini", "[Application]\r\nNom=Abacor\r\n" + settings);
        writeFile(*this / "A.dll", readFile(HELD_LIBRARY_DLL));
        writeFile(*this / "B.dat", "old B.dat");
    }
    std::string log() const { return readFile(*this / "Tidewell.log"); }
};

using LetGo = std::function<void()>;

LetGo openedAlone(const std::string& path)
{
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    return [h] { CloseHandle(h); };
}

LetGo loaded(const std::string& path)
{
    const HMODULE m = LoadLibraryA(path.c_str());
    EXPECT_NE(m, nullptr) << GetLastError();
    return [m] { FreeLibrary(m); };
}

}  // namespace

TEST(HeldFiles, TheInstallWaitsBoundedAndShownForWhatItReplacesAndNeverKills)
{
    ServerTree server("Abacor");
    const auto signer = testSigner(1, K1D, K1Q, 5, utcDay(30));
    const std::vector<std::pair<std::string, std::string>> release = {{"A.dll", "A v5"}, {"B.dat", "B v5"}};
    ASSERT_EQ(server.publish(release, "5", &signer), "");
    struct Case {
        const char* what;
        std::string settings;
        std::function<LetGo(const Copy&)> hold;
        double letGoAfter;   // seconds after the wait begins; negative: never during the run
        bool installed, waited;
        std::string held = "A.dll", rank = "1";   // the file waited for, and its rank
    };
    const Case cases[] = {
        {"a program that keeps A.dll open and closes after 3 s", "",
         [](const Copy& c) { return openedAlone(c / "A.dll"); }, 3, true, true},
        {"a program with A.dll loaded, let go after 3 s", "",
         [](const Copy& c) { return loaded(c / "A.dll"); }, 3, true, true},
        {"a program that never lets go of the second file, a bound of 5 s", "Attente=5\r\n",
         [](const Copy& c) { return openedAlone(c / "B.dat"); }, -1, false, true, "B.dat", "2"},
        {"a bound of 0: no wait at all", "Attente=0\r\n",
         [](const Copy& c) { return openedAlone(c / "A.dll"); }, -1, false, false},
        {"a held file the release leaves as it is", "Attente=5\r\n",
         [](const Copy& c) {
             writeFile(c / "B.dat", "B v5");
             return openedAlone(c / "B.dat");
         }, -1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Copy copy(c.settings);
        LetGo letGo = c.hold(copy);
        const auto before = snapshot(copy.path());
        double seen = 0;
        ULONGLONG freed = 0;
        const UpdaterRun run = runUpdater(copy, "", "", [&] {
            if (seen == 0 && copy.log().find(": held by ") != std::string::npos)
                seen = static_cast<double>(GetTickCount64());
            if (seen != 0 && c.letGoAfter >= 0 && letGo && GetTickCount64() >= seen + c.letGoAfter * 1000) {
                letGo();
                letGo = nullptr;
                freed = GetTickCount64();
            }
        });
        if (letGo)
            letGo();
        const std::string log = copy.log();
        EXPECT_EQ(badLogLine(log), "");
        EXPECT_EQ(seen != 0, c.waited) << log;
        // Nobody closed the program: it let go itself, or held on to the end.
        if (c.installed) {
            EXPECT_FALSE(run.box) << run.box->text;
            EXPECT_TRUE(readFile(copy / "A.dll") == "A v5") << "A.dll not replaced";
            EXPECT_TRUE(readFile(copy / "B.dat") == "B v5") << "B.dat not replaced";
            EXPECT_EQ(run.exitCode, 0u);
        } else {
            ASSERT_TRUE(run.box) << log;
            EXPECT_NE(run.box->text.find("Code : I" + c.rank), std::string::npos) << run.box->text;
            const auto now = snapshot(copy.path());
            EXPECT_TRUE(now == before) << "the folder changed:" << difference(before, now);
        }
        if (!c.waited) {
            EXPECT_EQ(log.find(": held by "), std::string::npos) << log;
            if (run.box) {
                EXPECT_EQ(run.box->text.find(c.held), std::string::npos) << run.box->text;
            }
            continue;
        }
        // The log says what held which file; the window said whom it waited for, by the
        // platform's name for it, or as another program where the platform cannot tell.
        const std::string file = "file " + c.rank + " " + c.held;
        const std::size_t by = log.find(file + ": held by ");
        ASSERT_NE(by, std::string::npos) << log;
        const std::size_t from = by + (file + ": held by ").size();
        const std::string holder = log.substr(from, log.find(" after ", from) - from);
        const std::string named = holder == "another program" ? "" : holder;
        const ActivityLine waiting(tidewell::texteattente(1, named));
        EXPECT_TRUE(std::any_of(run.frames.begin(), run.frames.end(),
                                [&](const testsupport::Pixels& f) { return waiting.shownIn(f); }))
            << "the window never showed \"" << tidewell::texteattente(1, named) << "\" in " << run.frames.size()
            << " frames";
        if (c.installed) {
            EXPECT_NE(log.find("every file to replace free after "), std::string::npos) << log;
            EXPECT_NE(freed, 0u);
        } else {
            EXPECT_NE(log.find(file + ": still held by " + holder + " after "), std::string::npos) << log;
            EXPECT_NE(run.box->text.find((named.empty() ? "Another program" : named) + " is still using " + c.held + "."),
                      std::string::npos) << run.box->text;
            const std::size_t after = log.find(" ms: installing all the same");
            ASSERT_NE(after, std::string::npos) << log;
            const std::size_t start = log.rfind(' ', after - 1) + 1;
            const long waitedMs = std::stol(log.substr(start, after - start));
            EXPECT_GE(waitedMs, 5000);
            EXPECT_LT(waitedMs, 8000);
        }
    }
}
