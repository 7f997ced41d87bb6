// The library's process-wide pieces: its live-object count, its handle and path, and its type
// library, read from its own resource once.
#include "module.h"

#include <new>

namespace rotelle {

std::atomic<long> objetsvivants{0};

HINSTANCE instancemodule()
{
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&instancemodule), &m);
    return m;
}

HRESULT cheminmodule(std::wstring& chemin)
{
    const HMODULE module = instancemodule();
    // An install folder may be deeper than MAX_PATH: the buffer grows until the path fits,
    // since a cut path would be registered and then load nothing, or something else.
    for (DWORD taille = MAX_PATH; taille <= 32768; taille *= 2) {
        chemin.assign(taille, L'\0');
        const DWORD n = GetModuleFileNameW(module, chemin.data(), taille);
        if (n == 0)
            return HRESULT_FROM_WIN32(GetLastError());
        if (n < taille) {
            chemin.resize(n);
            return S_OK;
        }
    }
    chemin.clear();
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
}

HRESULT bibliothequemodule(ComRef<ITypeLib>& bibliotheque, std::wstring& chemin)
{
    HRESULT hr = cheminmodule(chemin);
    if (FAILED(hr))
        return hr;
    hr = LoadTypeLibEx(chemin.c_str(), REGKIND_NONE, bibliotheque.put());
    if (FAILED(hr) && chemin.size() >= MAX_PATH) {
        // The type library reader, and the platform's readers of the registered paths, take
        // no path longer than MAX_PATH: the folder's short form names the same file and may fit.
        std::wstring court(chemin.size() + 1, L'\0');
        const DWORD n = GetShortPathNameW(chemin.c_str(), court.data(), DWORD(court.size()));
        if (n > 0 && n < MAX_PATH) {
            court.resize(n);
            hr = LoadTypeLibEx(court.c_str(), REGKIND_NONE, bibliotheque.put());
            if (SUCCEEDED(hr))
                chemin = court;
        }
    }
    return hr;
}

namespace {

// The module's type library, read once for every caller in the process and given back only
// when the module may be unloaded: hosts ask for names at every late-bound call.
SRWLOCK verroubibliotheque = SRWLOCK_INIT;
ITypeLib* bibliothequecachee = nullptr;

}  // namespace

HRESULT typeinfo(REFGUID guid, ITypeInfo** ti)
{
    if (!ti)
        return E_POINTER;
    *ti = nullptr;
    ComRef<ITypeLib> bibliotheque;
    AcquireSRWLockShared(&verroubibliotheque);
    bibliotheque = ComRef<ITypeLib>(bibliothequecachee);
    ReleaseSRWLockShared(&verroubibliotheque);
    if (!bibliotheque) {
        // Read without the lock held: the reader takes the loader's own lock.
        HRESULT hr = E_OUTOFMEMORY;
        try {
            std::wstring chemin;
            hr = bibliothequemodule(bibliotheque, chemin);
        } catch (const std::bad_alloc&) {
        }
        if (FAILED(hr))
            return hr;
        AcquireSRWLockExclusive(&verroubibliotheque);
        if (bibliothequecachee)
            bibliotheque = ComRef<ITypeLib>(bibliothequecachee);   // another thread was first
        else {
            bibliothequecachee = bibliotheque.get();
            bibliothequecachee->AddRef();
        }
        ReleaseSRWLockExclusive(&verroubibliotheque);
    }
    return bibliotheque->GetTypeInfoOfGuid(guid, ti);
}

void oubliebibliotheque()
{
    AcquireSRWLockExclusive(&verroubibliotheque);
    ITypeLib* b = bibliothequecachee;
    bibliothequecachee = nullptr;
    ReleaseSRWLockExclusive(&verroubibliotheque);
    if (b)
        b->Release();
}

}  // namespace rotelle
