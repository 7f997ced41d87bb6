// The in-process server: the class factory of Wheel and the exports COM finds it by.
#include "dlgabout.h"
#include "identities.h"
#include "modhook.h"
#include "module.h"
#include "thread_state.h"
#include "wheel.h"

#include <new>

namespace rotelle {

namespace {

std::atomic<long> verrous{0};

class Fabrique final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        return interfaceunique(static_cast<IClassFactory*>(this), riid, IID_IClassFactory, ppv);
    }
    // One factory for the process; its references are the server's locks.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++verrous); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--verrous); }

    STDMETHODIMP CreateInstance(IUnknown* exterieur, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (exterieur)
            return CLASS_E_NOAGGREGATION;
        Wheel* controle = nullptr;
        try {
            controle = new Wheel();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = controle->QueryInterface(riid, ppv);
        controle->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL verrouille) override
    {
        if (verrouille)
            ++verrous;
        else
            --verrous;
        return S_OK;
    }
};

Fabrique fabrique;

}  // namespace

}  // namespace rotelle

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != rotelle::CLSID_Wheel)
        return CLASS_E_CLASSNOTAVAILABLE;
    return rotelle::fabrique.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    if (rotelle::objetsvivants != 0 || rotelle::verrous != 0 || rotelle::placesgardees != 0)
        return S_FALSE;
    rotelle::oubliebibliotheque();   // read again by whoever comes next, if the module stays
    return S_OK;
}

// Each thread's hooks and dialog end with the thread. When the process ends (`reserve` set) the
// host's objects are already going: nothing is torn down then.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD raison, LPVOID reserve)
{
    switch (raison) {
    case DLL_PROCESS_ATTACH:
        return rotelle::ouvreetats();
    case DLL_THREAD_DETACH:
        rotelle::finthread();
        break;
    case DLL_PROCESS_DETACH:
        if (!reserve) {
            rotelle::finthread();
            rotelle::fermeetats();
            rotelle::dlgAbout::oublieclasse();
        }
        break;
    default:
        break;
    }
    return TRUE;
}
