#include "wait.h"

#include "wait_loop.h"

#include <windows.h>

#include <cmath>

namespace libmaj {

namespace {

double secondesmonotones()
{
    // Asked each time, as cheap as the counter: kept in a function's static it would need the
    // library's guard against two threads, and the threads library that comes with it.
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// A WM_QUIT seen while pausing belongs to whoever runs the thread's own loop: it is kept
// and posted again once the pause is over.
struct Quitter {
    bool vu = false;
    WPARAM code = 0;
};

void cede(Quitter& quitter)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitter.vu = true;
            quitter.code = msg.wParam;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

double horlogemonotone()
{
    return secondesmonotones();
}

void cedemessages()
{
    Quitter quitter;
    cede(quitter);
    if (quitter.vu)
        PostQuitMessage(static_cast<int>(quitter.code));
}

void dortsurmessages(double secondes)
{
    const auto ms = static_cast<DWORD>(std::ceil(secondes * 1000.0));
    MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

bool attendsurmessages(HANDLE evenement, double secondes)
{
    Quitter quitter;
    const double fin = secondesmonotones() + secondes;
    bool signale = false;
    for (;;) {
        const double reste = fin - secondesmonotones();
        const DWORD ms = reste > 0 ? static_cast<DWORD>(std::ceil(reste * 1000.0)) : 0;
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &evenement, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) {
            signale = true;
            break;
        }
        if (r != WAIT_OBJECT_0 + 1 || reste <= 0)
            break;
        cede(quitter);
    }
    if (quitter.vu)
        PostQuitMessage(static_cast<int>(quitter.code));
    return signale;
}

void attente(float secondes)
{
    Quitter quitter;
    attendre(
        secondes, secondesmonotones, [&] { cede(quitter); },
        dortsurmessages);
    if (quitter.vu)
        PostQuitMessage(static_cast<int>(quitter.code));
}

}  // namespace libmaj
