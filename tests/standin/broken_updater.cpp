// A program that carries an updater's identity but cannot serve: it crashes as it starts, or
// it never ends, whatever it is asked.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
#ifdef BROKEN_UPDATER_crash
    // A crash as the platform ends it, without a debugger's dialog waiting for someone.
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    *static_cast<volatile int*>(nullptr) = 1;
#endif
    for (;;)
        Sleep(INFINITE);
}
