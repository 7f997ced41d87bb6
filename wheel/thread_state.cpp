#include "thread_state.h"

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

dlgAbout& dialoguethread()
{
    auto& about = etatthread().about;
    if (!about)
        about = std::make_unique<dlgAbout>();
    return *about;
}

void oublieetat()
{
    EtatThread* e = etatexistant();
    if (!e)
        return;
    TlsSetValue(emplacement, nullptr);
    delete e;
}

}  // namespace rotelle
