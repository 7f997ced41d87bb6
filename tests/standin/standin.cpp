// Stands in for Abacor.exe or Quillon.exe in the tests: records how it was started (command
// line, working folder, show state) as one line of "standin.log" beside itself, and ends.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string log(self);
    log = log.substr(0, log.find_last_of('\\') + 1) + "standin.log";
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    const int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    if (FILE* f = std::fopen(log.c_str(), "ab")) {
        std::fprintf(f, "cmd=%s|cwd=%s|show=%d\n", GetCommandLineA(), cwd, show);
        std::fclose(f);
    }
    return 0;
}
