// The control's default interface as the published library lays it out: a call table of 492
// entries, IDispatch's seven first and About, StopWheel and StartWheel last. The entries in
// between belong to the base object of the original control and are not described; they
// answer E_NOTIMPL.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace rotelle {

constexpr int entreesappel = 492;

// What the table's entries call: the object's IDispatch and its three methods.
class MethodesAppel : public IDispatch {
public:
    virtual HRESULT About() = 0;
    virtual HRESULT StopWheel() = 0;
    virtual HRESULT StartWheel() = 0;

protected:
    ~MethodesAppel() = default;
};

// An interface pointer onto the object with that table. Its IUnknown and IDispatch entries
// go to the object itself, so it shares the object's identity and lifetime.
struct VueAppels {
    const void* const* table;
    MethodesAppel* controle;
};

void initialisevue(VueAppels& vue, MethodesAppel* controle);

}  // namespace rotelle
