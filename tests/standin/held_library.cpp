// A library and nothing more: loaded by a test, its file is held by the loader's mapping alone.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI held_library_version()
{
    return 1;
}
