// How much processor time a pause costs: attente(2) should leave the CPU idle.
#include "wait.h"

#include <windows.h>

#include <cstdio>

static double seconds(const FILETIME& f)
{
    ULARGE_INTEGER u;
    u.LowPart = f.dwLowDateTime;
    u.HighPart = f.dwHighDateTime;
    return static_cast<double>(u.QuadPart) / 1e7;
}

static double cpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return seconds(kernel) + seconds(user);
}

int main()
{
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    const double cpu0 = cpuSeconds();
    QueryPerformanceCounter(&t0);
    libmaj::attente(2.0f);
    QueryPerformanceCounter(&t1);
    const double cpu = cpuSeconds() - cpu0;
    const double wall = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
    std::printf("attente(2): wall %.3f s, cpu %.4f s, cpu share %.2f %% (target < 2 %%)\n", wall,
                cpu, 100.0 * cpu / wall);
    return 0;
}
