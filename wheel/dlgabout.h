// The About dialog: one per thread, shown modeless, rebuilt from its design each time it is
// shown after being closed.
#pragma once

#include <windows.h>

namespace rotelle {

class dlgAbout {
public:
    ~dlgAbout();

    // Shows the dialog, creating it if it is not loaded; an open dialog is shown again.
    HRESULT Show();

    // The dialog's window while it is loaded, for those who look from outside.
    HWND window() const { return fenetre_; }

    // The dialog's window class goes with the module: registered again by a later load,
    // perhaps at another address, it must not find the old one there.
    static void oublieclasse();

private:
    static LRESULT CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK procedurebouton(HWND, UINT, WPARAM, LPARAM);
    HRESULT charge();
    void decharge();
    void fin();

    HWND proprietaire_ = nullptr;   // hidden: keeps the dialog off the task bar
    HWND fenetre_ = nullptr;
    HFONT policebouton_ = nullptr;
    HFONT policelibelle_ = nullptr;
    HICON icone_ = nullptr;
};

}  // namespace rotelle
