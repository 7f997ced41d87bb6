// Helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace testsupport {

// A new, empty folder under the temporary folder (or under `base`), removed with everything
// in it at the end of the scope.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix, const std::string& base = "");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Starts a command line in `folder` (the caller's when empty); false, with the platform's
// error, when it could not. Under Wine on a busy machine, a new process now and then dies in
// the platform's own start, before any code of the program runs: CreateProcess then fails with
// ERROR_INTERNAL_ERROR (the process ended without having started, and without an exit code).
// Nothing of the program ran, so it is started again, at most twice, and the output says so.
bool startProcess(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION& pi);

// Runs a command line to its end (at most `waitMs`) and gives its exit code; 0xFFFFFFFF when
// it could not be started.
DWORD runToEnd(const std::string& commandLine, DWORD waitMs = 60000);

// Waits, at most `ms`, until the platform says this machine is connected; false if it never
// did. In a Wine prefix started a moment ago, the device service may not be up yet, and until
// it is the platform says there is no connection.
bool waitUntilOnline(DWORD ms);

void writeFile(const std::string& path, const std::string& content);
// The test server's generated bodies: byte i is (7 * i) % 251.
std::string generated(std::size_t n);
std::string readFile(const std::string& path);
bool exists(const std::string& path);

// True in a benchmark's quick pass (TIDEWELL_BENCH_QUICK set), which only shows that it still
// runs: tiny sizes and one round, figures that mean nothing.
inline bool passerapide()
{
    const char* v = std::getenv("TIDEWELL_BENCH_QUICK");
    return v && *v;
}

// The first top-level window of class `className` that process `pid` owns; with `visible`,
// only a shown one.
HWND findWindowOf(DWORD pid, const char* className, bool visible = false);

// Top-down 32-bit pixels of a window's client area, drawn through PrintWindow.
struct Pixels {
    int width = 0, height = 0;
    std::vector<COLORREF> data;   // 0x00BBGGRR as GetPixel gives them
    COLORREF at(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
};
Pixels captureClient(HWND window);

// Top-down pixels of a rectangle of the screen, as it shows now.
Pixels captureScreen(const RECT& area);

// Writes pixels to a PNG file, for people to look at.
bool savePng(const Pixels& pixels, const std::string& path);

}  // namespace testsupport
