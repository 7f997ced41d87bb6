// The control library as an in-process COM server: registration with regsvr32, creation by
// program identifier, the class factory contract, and a late-binding script as client. Runs in
// a Wine prefix of its own, since it changes the registry.
#include "testsupport.h"

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const GUID CLSID_Wheel = {0xA6C60A56, 0x0F8A, 0x43D3, {0xB4, 0xE7, 0xDF, 0xA6, 0x4E, 0x4E, 0xF8, 0xF6}};
const GUID LIBID_RotelleCV = {0x1AC77372, 0x021E, 0x496E, {0x8B, 0xA9, 0xB5, 0xC4, 0x16, 0x43, 0xD9, 0x3F}};
const wchar_t* clsidKey = L"CLSID\\{A6C60A56-0F8A-43D3-B4E7-DFA64E4EF8F6}";

std::wstring value(const std::wstring& key, const wchar_t* name = nullptr)
{
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return L"<missing>";
    std::wstring data(2048, L'\0');
    DWORD size = DWORD((data.size() - 1) * sizeof(wchar_t));
    const LONG r = RegQueryValueExW(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(k);
    return r == ERROR_SUCCESS ? data.c_str() : L"<no value>";
}

bool keyExists(const std::wstring& key)
{
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

// The library as the platform's reader presents it: the library, the event interface with its
// four by-reference parameters, and the class with its default and source interfaces.
void describedAsPublished(ITypeLib* lib)
{
    TLIBATTR* la = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&la), S_OK);
    EXPECT_EQ(la->lcid, 0x409u);
    EXPECT_EQ(la->wMajorVerNum, 1);
    EXPECT_EQ(la->wMinorVerNum, 0);
    EXPECT_TRUE(la->wLibFlags & LIBFLAG_FCONTROL);
    lib->ReleaseTLibAttr(la);
    BSTR name = nullptr;
    lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(name, L"RotelleCV");
    SysFreeString(name);
    ASSERT_EQ(lib->GetTypeInfoCount(), 3u);

    const GUID events = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};
    ITypeInfo* ev = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(events, &ev), S_OK);
    // Found by its identifier, as a host binds to it: Wine's reader also lists IDispatch's
    // own methods in a dispinterface.
    TYPEATTR* evattr = nullptr;
    ev->GetTypeAttr(&evattr);
    const UINT functions = evattr->cFuncs;
    ev->ReleaseTypeAttr(evattr);
    FUNCDESC* f = nullptr;
    for (UINT i = 0; i < functions && !f; ++i) {
        ev->GetFuncDesc(i, &f);
        if (f && f->memid != 1) {
            ev->ReleaseFuncDesc(f);
            f = nullptr;
        }
    }
    ASSERT_NE(f, nullptr) << "no WheelRotate with identifier 1";
    LPOLESTR wanted = const_cast<LPOLESTR>(L"WheelRotate");
    MEMBERID byName = 0;
    EXPECT_EQ(ev->GetIDsOfNames(&wanted, 1, &byName), S_OK);
    EXPECT_EQ(byName, 1);
    EXPECT_EQ(f->funckind, FUNC_DISPATCH);
    ASSERT_EQ(f->cParams, 4);
    for (int i = 0; i < 4; ++i) {
        const ELEMDESC& p = f->lprgelemdescParam[i];
        EXPECT_EQ(p.tdesc.vt, VT_PTR) << i;
        EXPECT_EQ(p.tdesc.lptdesc->vt, i == 0 ? VT_DISPATCH : VT_I4) << i;
        EXPECT_EQ(p.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN | PARAMFLAG_FOUT) << i;
    }
    BSTR names[5] = {};
    UINT got = 0;
    ev->GetNames(f->memid, names, 5, &got);
    ASSERT_EQ(got, 5u);
    const wchar_t* expected[] = {L"WheelRotate", L"Ctrl", L"Delta", L"X", L"Y"};
    for (UINT i = 0; i < got; ++i) {
        EXPECT_STREQ(names[i], expected[i]);
        SysFreeString(names[i]);
    }
    ev->ReleaseFuncDesc(f);
    ev->Release();

    ITypeInfo* cls = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_Wheel, &cls), S_OK);
    TYPEATTR* ta = nullptr;
    cls->GetTypeAttr(&ta);
    EXPECT_EQ(ta->typekind, TKIND_COCLASS);
    EXPECT_EQ(ta->cImplTypes, 2);
    cls->ReleaseTypeAttr(ta);
    INT flags0 = 0, flags1 = 0;
    cls->GetImplTypeFlags(0, &flags0);
    cls->GetImplTypeFlags(1, &flags1);
    EXPECT_EQ(flags0, IMPLTYPEFLAG_FDEFAULT);
    EXPECT_EQ(flags1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    cls->Release();
}

class Server : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
    const std::string ocx = ROTELLE_OCX;
};

}  // namespace

TEST_F(Server, RegistersAndUnregistersEverything)
{
    ASSERT_EQ(testsupport::runToEnd("regsvr32 /s \"" + ocx + "\""), 0u);
    const std::wstring path = value(std::wstring(clsidKey) + L"\\InprocServer32");
    // The server path is this very file, as the library finds itself.
    HMODULE registered = LoadLibraryW(path.c_str());
    EXPECT_EQ(registered, LoadLibraryA(ocx.c_str())) << std::string(path.begin(), path.end());
    EXPECT_EQ(value(std::wstring(clsidKey) + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(value(std::wstring(clsidKey) + L"\\ProgID"), L"RotelleCV.Wheel");
    EXPECT_TRUE(keyExists(std::wstring(clsidKey) + L"\\Control"));
    EXPECT_EQ(value(std::wstring(clsidKey) + L"\\ToolboxBitmap32"), path + L", 30000");
    EXPECT_EQ(value(std::wstring(clsidKey) + L"\\MiscStatus\\1"), L"132497");
    EXPECT_EQ(value(std::wstring(clsidKey) + L"\\TypeLib"), L"{1AC77372-021E-496E-8BA9-B5C41643D93F}");
    EXPECT_EQ(value(std::wstring(clsidKey) + L"\\Version"), L"1.0");
    EXPECT_EQ(value(L"RotelleCV.Wheel\\CLSID"), L"{A6C60A56-0F8A-43D3-B4E7-DFA64E4EF8F6}");

    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(L"RotelleCV.Wheel", &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_Wheel));
    IDispatch* wheel = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&wheel)),
              S_OK);
    LPOLESTR name = const_cast<LPOLESTR>(L"StartWheel");
    DISPID id = 0;
    EXPECT_EQ(wheel->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id), S_OK);
    EXPECT_EQ(id, 0x60030005);
    wheel->Release();
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_RotelleCV, 1, 0, 0x409, &lib), S_OK);
    describedAsPublished(lib);
    lib->Release();

    // A client that nobody here wrote: a script run by the platform's script host, binding late.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string script = std::string(temp) + "rotelle_client.vbs";
    if (FILE* f = std::fopen(script.c_str(), "wb")) {
        std::fputs("Set w = CreateObject(\"RotelleCV.Wheel\")\r\n"
                   "w.StopWheel\r\n"
                   "On Error Resume Next\r\n"
                   "w.StartWheel\r\n"
                   "If Err.Number = 0 Then WScript.Quit 3\r\n"   // no container: it must fail
                   "WScript.Quit 7\r\n",
                   f);
        std::fclose(f);
    }
    EXPECT_EQ(testsupport::runToEnd("cscript //nologo \"" + script + "\""), 7u);
    DeleteFileA(script.c_str());

    ASSERT_EQ(testsupport::runToEnd("regsvr32 /s /u \"" + ocx + "\""), 0u);
    EXPECT_FALSE(keyExists(clsidKey));
    EXPECT_FALSE(keyExists(L"RotelleCV.Wheel"));
    EXPECT_NE(CLSIDFromProgID(L"RotelleCV.Wheel", &clsid), S_OK);
    EXPECT_NE(LoadRegTypeLib(LIBID_RotelleCV, 1, 0, 0x409, &lib), S_OK);
}

TEST_F(Server, TheClassFactoryContract)
{
    HMODULE module = LoadLibraryA(ocx.c_str());
    ASSERT_NE(module, nullptr);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    auto can = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_TRUE(get && can);

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(get(LIBID_RotelleCV, IID_IClassFactory, &other), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(other, nullptr);

    EXPECT_EQ(can(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(get(CLSID_Wheel, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(can(), S_FALSE);   // a factory reference is held
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    IUnknown* outer = object;
    IUnknown* refused = nullptr;
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&refused)), CLASS_E_NOAGGREGATION);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(can(), S_FALSE);   // an object and a lock
    object->Release();
    EXPECT_EQ(can(), S_FALSE);   // the lock
    ASSERT_EQ(get(CLSID_Wheel, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(can(), S_OK);
}

// An install folder deeper than MAX_PATH: never a cut path, always one that loads this file.
TEST_F(Server, RegistersAUsablePathForADeepInstallFolder)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(L"\\\\?\\") + temp + L"rotelle_deep";
    std::vector<std::wstring> made;
    while (folder.size() < 300) {
        CreateDirectoryW(folder.c_str(), nullptr);
        made.push_back(folder);
        folder += L"\\install_folder_level";
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    made.push_back(folder);
    const std::wstring copy = folder + L"\\RotelleCV.ocx";
    ASSERT_TRUE(CopyFileW(std::wstring(ocx.begin(), ocx.end()).c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(module, nullptr);
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto entry = [module](const char* n) {
        return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, n)));
    };
    ASSERT_EQ(entry("DllRegisterServer")(), S_OK);
    // A form of the path that the platform's readers of these keys take, naming this file.
    const std::wstring registered = value(std::wstring(clsidKey) + L"\\InprocServer32");
    EXPECT_LT(registered.size(), size_t(MAX_PATH));
    EXPECT_EQ(LoadLibraryW(registered.c_str()), module);
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_RotelleCV, 1, 0, 0x409, &lib), S_OK);
    lib->Release();
    EXPECT_EQ(entry("DllUnregisterServer")(), S_OK);
    EXPECT_FALSE(keyExists(clsidKey));
    EXPECT_NE(LoadRegTypeLib(LIBID_RotelleCV, 1, 0, 0x409, &lib), S_OK);
    FreeLibrary(module);
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
    for (auto d = made.rbegin(); d != made.rend(); ++d)
        RemoveDirectoryW(d->c_str());
}

namespace {

// The sink an ATL host connects: it records WheelRotate's arguments.
struct AtlSink : IDispatch {
    int events = 0;
    LONG delta = 0, x = 0, y = 0;
    bool ctrlIsNothing = false;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        const GUID events = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != events) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override
    {
        if (id != 1 || p->cArgs != 4)
            return DISP_E_MEMBERNOTFOUND;
        ++events;
        ctrlIsNothing = p->rgvarg[3].vt == (VT_BYREF | VT_DISPATCH) && *p->rgvarg[3].ppdispVal == nullptr;
        delta = *p->rgvarg[2].plVal;
        x = *p->rgvarg[1].plVal;
        y = *p->rgvarg[0].plVal;
        return S_OK;
    }
};

int formWheels = 0;
LRESULT CALLBACK atlForm(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_MOUSEWHEEL) {
        ++formWheels;
        return 0x33;
    }
    return DefWindowProcA(w, m, wp, lp);
}

HRESULT invoke(IUnknown* control, const wchar_t* method)
{
    IDispatch* d = nullptr;
    HRESULT hr = control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    if (FAILED(hr))
        return hr;
    LPOLESTR name = const_cast<LPOLESTR>(method);
    DISPID id = 0;
    hr = d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (SUCCEEDED(hr))
        hr = d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    d->Release();
    return hr;
}

}  // namespace

// A container nobody on this project wrote: the platform's ATL host. It offers no ambient
// properties and no extender, loads saved state before it gives the site, and connects sinks
// only through AtlAdvise; the control finds its form through the host window it sits in.
TEST_F(Server, HostedByThePlatformsAtlContainer)
{
    ASSERT_EQ(testsupport::runToEnd("regsvr32 /s \"" + ocx + "\""), 0u);
    HMODULE atl = LoadLibraryA("atl.dll");
    ASSERT_NE(atl, nullptr);
    auto proc = [atl](const char* n) { return reinterpret_cast<void (*)()>(GetProcAddress(atl, n)); };
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(proc("AtlAxWinInit"));
    auto create = reinterpret_cast<HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**, REFIID,
                                                    IUnknown*)>(proc("AtlAxCreateControlEx"));
    auto advise = reinterpret_cast<HRESULT(WINAPI*)(IUnknown*, IUnknown*, const IID*, DWORD*)>(proc("AtlAdvise"));
    auto unadvise = reinterpret_cast<HRESULT(WINAPI*)(IUnknown*, const IID*, DWORD)>(proc("AtlUnadvise"));
    ASSERT_TRUE(init && create && advise && unadvise);
    ASSERT_TRUE(init());

    WNDCLASSA wc = {};
    wc.lpfnWndProc = atlForm;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "AtlHostForm";
    RegisterClassA(&wc);
    HWND form = CreateWindowExA(0, "AtlHostForm", "ATL host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                                nullptr, nullptr, wc.hInstance, nullptr);
    HWND host = CreateWindowExA(0, "AtlAxWin", nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 40, 40, form, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_TRUE(form && host);
    IUnknown* containerObject = nullptr;
    IUnknown* control = nullptr;
    ASSERT_EQ(create(L"RotelleCV.Wheel", host, nullptr, &containerObject, &control, IID_NULL, nullptr), S_OK);
    ASSERT_NE(control, nullptr);

    AtlSink sink;
    const GUID events = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};
    DWORD cookie = 0;
    ASSERT_EQ(advise(control, &sink, &events, &cookie), S_OK);
    ASSERT_EQ(invoke(control, L"StartWheel"), S_OK);
    EXPECT_NE(GetWindowLongPtrA(form, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&atlForm));   // the form hooked

    EXPECT_EQ(SendMessageA(form, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), MAKELPARAM(70, 80)), 0x33);
    EXPECT_EQ(sink.events, 1);
    EXPECT_EQ(formWheels, 1);
    EXPECT_EQ(sink.delta, 2);
    EXPECT_EQ(sink.x, 70);
    EXPECT_EQ(sink.y, 80);
    EXPECT_TRUE(sink.ctrlIsNothing);   // the host cannot say which control has the focus
    // Turned over ATL's own window, the wheel reaches the form through it: one event a message.
    SendMessageA(host, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(70, 80));
    EXPECT_EQ(sink.events, 2);

    ASSERT_EQ(invoke(control, L"StopWheel"), S_OK);
    EXPECT_EQ(GetWindowLongPtrA(form, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&atlForm));
    EXPECT_EQ(invoke(control, L"About"), S_OK);
    DestroyWindow(FindWindowA("RotelleAbout", nullptr));

    // Started again, then a component subclasses the form above the control and the control
    // stops: its place in that chain stays, and with it the library, though the container
    // lets the control go its own way (ATL's host closes it, takes its site and releases it).
    ASSERT_EQ(invoke(control, L"StartWheel"), S_OK);
    static WNDPROC below = nullptr;
    below = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(
        +[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT { return CallWindowProcA(below, w, m, wp, lp); })));
    const LONG_PTR above = GetWindowLongPtrA(form, GWLP_WNDPROC);
    ASSERT_EQ(invoke(control, L"StopWheel"), S_OK);
    EXPECT_EQ(GetWindowLongPtrA(form, GWLP_WNDPROC), above);
    ASSERT_EQ(invoke(control, L"StartWheel"), S_OK);
    unadvise(control, &events, cookie);
    control->Release();
    containerObject->Release();
    DestroyWindow(host);   // no StopWheel: the container's own teardown
    HMODULE library = GetModuleHandleA("RotelleCV.ocx");
    ASSERT_NE(library, nullptr);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleA("RotelleCV.ocx"), library);   // still called from the chain
    EXPECT_EQ(SendMessageA(form, WM_MOUSEWHEEL, 0, 0), 0x33);
    SetWindowLongPtrA(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(below));
    EXPECT_EQ(SendMessageA(form, WM_MOUSEWHEEL, 0, 0), 0x33);   // ours again: given back
    EXPECT_EQ(GetWindowLongPtrA(form, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&atlForm));
    EXPECT_EQ(sink.events, 2);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleA("RotelleCV.ocx"), nullptr);   // nothing of the control is left

    // Loaded again, the library shows its About dialog as the first time.
    IDispatch* again = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Wheel, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(invoke(again, L"About"), S_OK);
    DestroyWindow(FindWindowA("RotelleAbout", nullptr));
    again->Release();
    DestroyWindow(form);
    ASSERT_EQ(testsupport::runToEnd("regsvr32 /s /u \"" + ocx + "\""), 0u);
}
