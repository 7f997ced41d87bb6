#include "thread_state.h"

#include "modhook.h"

#include <new>

namespace rotelle {

namespace {

DWORD emplacement = TLS_OUT_OF_INDEXES;

}  // namespace

bool ouvreetats()
{
    emplacement = TlsAlloc();
    return emplacement != TLS_OUT_OF_INDEXES;
}

void fermeetats()
{
    if (emplacement != TLS_OUT_OF_INDEXES)
        TlsFree(emplacement);
    emplacement = TLS_OUT_OF_INDEXES;
}

EtatThread* etatexistant()
{
    return emplacement == TLS_OUT_OF_INDEXES ? nullptr : static_cast<EtatThread*>(TlsGetValue(emplacement));
}

EtatThread& etatthread()
{
    if (EtatThread* e = etatexistant())
        return *e;
    auto* e = new EtatThread;
    TlsSetValue(emplacement, e);
    return *e;
}

void finthread()
{
    EtatThread* e = etatexistant();
    if (!e)
        return;
    // The thread's windows go with it: each hook is undone where ours is still the window's
    // procedure, then its control released, with the table consistent for the control's own
    // unhooking on the way.
    e->table.vide([](const HookEntry<ComRef<Wheel>>& entree) { DefaitHook(entree); });
    e->about.reset();
    TlsSetValue(emplacement, nullptr);
    delete e;
}

}  // namespace rotelle
