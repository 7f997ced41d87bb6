// The updater window's procedure called as 32-bit Windows calls it: each message it handles
// must leave the caller's stack and registers as it found them.
#include "main_window.h"
#include "stack_check.h"

#include <gtest/gtest.h>

using tidewell::FenetreMain;

TEST(Calling32, TheUpdaterWindowsProcedureForEachMessageItHandles)
{
    FenetreMain window(GetModuleHandleA(nullptr));
    window.montre();
    HWND w = window.handle();
    auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(w, GWLP_WNDPROC));
    ASSERT_NE(procedure, nullptr);
    HDC dc = GetDC(w);
    const struct {
        const char* nom;
        UINT message;
        WPARAM wp;
        LPARAM lp;
        LRESULT attendu;
    } messages[] = {
        {"WM_ERASEBKGND", WM_ERASEBKGND, WPARAM(dc), 0, 1},
        {"WM_PRINTCLIENT", WM_PRINTCLIENT, WPARAM(dc), PRF_CLIENT, 0},
        {"WM_PAINT", WM_PAINT, 0, 0, 0},
        {"WM_CLOSE", WM_CLOSE, 0, 0, 0},
        {"WM_ACTIVATE", WM_ACTIVATE, WA_ACTIVE, 0, 0},
        {"WM_NULL", WM_NULL, 0, 0, 0},
    };
    for (const auto& m : messages) {
        const stackcheck::Appel a = stackcheck::fonction(procedure, w, m.message, m.wp, m.lp);
        EXPECT_TRUE(a.sain()) << m.nom << ": " << stackcheck::decrit(a);
        EXPECT_EQ(static_cast<LRESULT>(a.resultat), m.attendu) << m.nom;
    }
    ReleaseDC(w, dc);
    EXPECT_TRUE(IsWindow(w));   // WM_CLOSE is not the user's to send
}
