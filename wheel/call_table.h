// The control's default interface as the published library lays it out: a call table of 492
// entries, IDispatch's seven first and About, StopWheel and StartWheel last. The entries in
// between belong to the base object of the original control and are not described; they
// answer E_NOTIMPL.
#pragma once

#include <windows.h>

namespace rotelle {

class Wheel;

constexpr int entreesappel = 492;

// An interface pointer onto the control with that table. Its IUnknown and IDispatch entries
// go to the control itself, so it shares the control's identity and lifetime.
struct VueAppels {
    const void* const* table;
    Wheel* controle;
};

void initialisevue(VueAppels& vue, Wheel* controle);

}  // namespace rotelle
