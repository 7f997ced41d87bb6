// Tidewell.exe: creating the window `main` is starting the program; its load handler runs
// before the window is shown, its activation handler carries out the update and ends it.
#include "com.h"
#include "command_word.h"
#include "main_window.h"
#include "run.h"
#include "self_update_roles.h"
#include "self_update_rules.h"
#include "update_keys.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        // A newer updater started by the one it is to replace: no window, no run of its own.
        if constexpr (tidewell::aveccles) {
            const tidewell::Appel appel = tidewell::appeldepuis(tidewell::argumentsdelaligne(GetCommandLineA()));
            if (appel.role == tidewell::Appel::Role::qualification)
                return static_cast<int>(tidewell::qualifie(appel.nombre, appel.cles));
            if (appel.role == tidewell::Appel::Role::relais)
                return static_cast<int>(tidewell::relaie(static_cast<std::uintptr_t>(appel.nombre)));
        }
        // COM for the whole run: each test of a file that is not there asks the scripting
        // object, which then stays loaded instead of being loaded again for every new file.
        libmaj::ApartementCom com;
        tidewell::FenetreMain fenetre(instance);
        tidewell::Main run(fenetre);
        fenetre.suractivation([&run] { run.activation(); });
        if (!run.chargement(GetCommandLineA()))
            return 0;
        fenetre.montre();
        MSG msg = {};
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return static_cast<int>(msg.wParam);   // only a run that failed gets here
    } catch (...) {
        return 1;
    }
}
