// What the library keeps for each thread that uses it: the table of hooked windows and the
// About dialog. It lives in a slot of the thread's own storage and is torn down by the library
// when the thread ends, never by the C++ runtime, which frees such storage before its
// destructors run. When the process ends it is left alone: the host's objects go with it.
#pragma once

#include "com_ref.h"
#include "dlgabout.h"
#include "hook_table.h"
#include "hook_target.h"

#include <cstdint>
#include <memory>

namespace rotelle {

// A wheel event being raised for a window, told when the window is destroyed meanwhile.
struct CadreEvenement {
    std::intptr_t fenetre;
    bool detruite;
    CadreEvenement* precedent;
};

struct EtatThread {
    HookTable<ComRef<CibleMolette>> table;
    std::unique_ptr<dlgAbout> about;
    CadreEvenement* evenements = nullptr;   // innermost first
};

// This thread's state, created on first use; `etatexistant` gives nullptr where there is none.
EtatThread& etatthread();
EtatThread* etatexistant();

// This thread's About dialog, created on first use.
dlgAbout& dialoguethread();

// From the library's entry point: the slot is taken when the library is loaded and given back
// when it is unloaded. `oublieetat` deletes the calling thread's state, once whoever ends the
// thread has emptied it.
bool ouvreetats();
void fermeetats();
void oublieetat();

}  // namespace rotelle
