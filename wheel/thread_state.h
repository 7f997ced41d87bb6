// What the library keeps for each thread that uses it: the table of hooked windows and the
// About dialog. It lives in a slot of the thread's own storage and is torn down by the library
// when the thread ends, never by the C++ runtime, which frees such storage before its
// destructors run. When the process ends it is left alone: the host's objects go with it.
#pragma once

#include "dlgabout.h"
#include "hook_table.h"
#include "wheel.h"

#include <memory>

namespace rotelle {

// A wheel event being raised for a window, told when the window is destroyed meanwhile.
struct CadreEvenement {
    std::intptr_t fenetre;
    bool detruite;
    CadreEvenement* precedent;
};

struct EtatThread {
    HookTable<ComRef<Wheel>> table;
    std::unique_ptr<dlgAbout> about;
    CadreEvenement* evenements = nullptr;   // innermost first
};

// This thread's state, created on first use; `etatexistant` gives nullptr where there is none.
EtatThread& etatthread();
EtatThread* etatexistant();

// From the library's entry point: the slot is taken when the library is loaded and given back
// when it is unloaded; `finthread` ends the calling thread's state (its windows' hooks undone,
// its controls released, its dialog closed).
bool ouvreetats();
void fermeetats();
void finthread();

}  // namespace rotelle
