// Self-registration of the control library: the type library from the file's own resource,
// and the class Wheel with what containers look for. A registration that fails half-way is
// undone, so nothing is left half-registered.
#include "identities.h"
#include "module.h"

#include <olectl.h>

#include <string>

namespace rotelle {

namespace {

class Cle {
public:
    ~Cle()
    {
        if (h_)
            RegCloseKey(h_);
    }
    HKEY* put() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

std::wstring texte(REFGUID guid)
{
    wchar_t t[40] = {};
    StringFromGUID2(guid, t, 40);
    return t;
}

// Sets a string value (the key's default with an empty name), creating the key.
LONG ecrit(const std::wstring& cle, const wchar_t* nom, const std::wstring& valeur)
{
    Cle k;
    LONG r = RegCreateKeyExW(HKEY_CLASSES_ROOT, cle.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.put(), nullptr);
    if (r == ERROR_SUCCESS)
        r = RegSetValueExW(k.get(), nom, 0, REG_SZ, reinterpret_cast<const BYTE*>(valeur.c_str()),
                           static_cast<DWORD>((valeur.size() + 1) * sizeof(wchar_t)));
    return r;
}

constexpr const wchar_t* progid = L"RotelleCV.Wheel";

SYSKIND plateforme()
{
    return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}

HRESULT desinscrit()
{
    const std::wstring classe = L"CLSID\\" + texte(CLSID_Wheel);
    LONG r1 = RegDeleteTreeW(HKEY_CLASSES_ROOT, classe.c_str());
    LONG r2 = RegDeleteTreeW(HKEY_CLASSES_ROOT, progid);
    HRESULT hr = UnRegisterTypeLib(LIBID_RotelleCV, 1, 0, 0x409, plateforme());
    const bool absente = hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED || SUCCEEDED(hr);
    for (LONG r : {r1, r2})
        if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND)
            return HRESULT_FROM_WIN32(r);
    return absente ? S_OK : hr;
}

HRESULT inscrit()
{
    std::wstring chemin;
    ComRef<ITypeLib> bibliotheque;
    HRESULT hr = bibliothequemodule(bibliotheque, chemin);
    if (SUCCEEDED(hr))
        hr = RegisterTypeLib(bibliotheque.get(), const_cast<LPOLESTR>(chemin.c_str()), nullptr);
    if (FAILED(hr))
        return hr;
    const std::wstring clsid = texte(CLSID_Wheel);
    const std::wstring classe = L"CLSID\\" + clsid;
    const struct {
        std::wstring cle;
        const wchar_t* nom;
        std::wstring valeur;
    } entrees[] = {
        {classe, nullptr, progid},
        {classe + L"\\InprocServer32", nullptr, chemin},
        {classe + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classe + L"\\ProgID", nullptr, progid},
        {classe + L"\\Control", nullptr, L""},
        {classe + L"\\ToolboxBitmap32", nullptr, chemin + L", 30000"},
        {classe + L"\\MiscStatus", nullptr, L"0"},
        {classe + L"\\MiscStatus\\1", nullptr, std::to_wstring(miscstatus)},
        {classe + L"\\TypeLib", nullptr, texte(LIBID_RotelleCV)},
        {classe + L"\\Version", nullptr, L"1.0"},
        {progid, nullptr, progid},
        {std::wstring(progid) + L"\\CLSID", nullptr, clsid},
    };
    for (const auto& e : entrees) {
        const LONG r = ecrit(e.cle, e.nom, e.valeur);
        if (r != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(r);
    }
    return S_OK;
}

}  // namespace

}  // namespace rotelle

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    const HRESULT hr = rotelle::inscrit();
    if (FAILED(hr))
        rotelle::desinscrit();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return rotelle::desinscrit();
}
