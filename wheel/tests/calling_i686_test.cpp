// Every entry point of the control that a 32-bit host calls, called as a 32-bit host calls it:
// the published call table through the 32-bit type library's offsets, each COM method through
// the object's own tables with the parameters the platform's headers declare, the window
// procedures it installs and the library's exports. Each must leave the caller's stack and
// registers as it found them.
#include "container.h"
#include "stack_check.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using container::Event;
using container::Form;
using container::Site;

namespace {

constexpr GUID IID__Wheel = {0x7CDC43CB, 0x57CB, 0x4FB3, {0xAE, 0xF4, 0x2B, 0xBB, 0x62, 0x47, 0x1F, 0x92}};
constexpr GUID DIID___Wheel = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};
constexpr GUID CLSID_Wheel = {0xA6C60A56, 0x0F8A, 0x43D3, {0xB4, 0xE7, 0xDF, 0xA6, 0x4E, 0x4E, 0xF8, 0xF6}};

// IUnknown::QueryInterface has a template overload in the headers: this names the method.
constexpr HRESULT (STDMETHODCALLTYPE IUnknown::*QueryInterface)(REFIID, void**) = &IUnknown::QueryInterface;

#define CHECKED(objet, m, ...) verifie(#m, stackcheck::methode(objet, &m, ##__VA_ARGS__))

stackcheck::Appel verifie(const char* nom, const stackcheck::Appel& a)
{
    EXPECT_TRUE(a.sain()) << nom << ": " << stackcheck::decrit(a);
    return a;
}

template <class I>
I* as(IUnknown* o, REFIID iid)
{
    I* p = nullptr;
    EXPECT_EQ(o->QueryInterface(iid, reinterpret_cast<void**>(&p)), S_OK);
    return p;
}

void release(IUnknown* p)
{
    if (p)
        p->Release();
}

LRESULT sendWheel(HWND w)
{
    return SendMessageA(w, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(10, 10));
}

int wheelEvents(const Form& f)
{
    int n = 0;
    for (const auto& e : f.events)
        n += e.kind == Event::wheelRotate;
    return n;
}

class Calling32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        form = std::make_unique<Form>();
        site = form->add();
        ASSERT_NE(site->control, nullptr);
    }
    void TearDown() override
    {
        site->call(L"StopWheel");
        site = nullptr;
        form.reset();
        CoUninitialize();
    }
    std::unique_ptr<Form> form;
    Site* site = nullptr;
};

}  // namespace

TEST_F(Calling32, ThePublishedCallTableThroughThe32BitLibrarysOffsets)
{
    unsigned size = 0;
    std::map<std::wstring, int> slot = container::publishedSlots(size);
    ASSERT_EQ(size, 492u * 4);   // 4-byte entries: the 32-bit library's table
    void* view = nullptr;
    ASSERT_EQ(site->control->QueryInterface(IID__Wheel, &view), S_OK);
    const void* const* table = *static_cast<const void* const* const*>(view);
    const std::uint32_t self = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(view));
    auto call = [&](const wchar_t* name) {
        const stackcheck::Appel a = stackcheck::appelle(table[slot.at(name)], &self, 1);
        EXPECT_TRUE(a.sain()) << name << ": " << stackcheck::decrit(a);
        EXPECT_EQ(a.resultat, static_cast<std::uint32_t>(S_OK)) << name;
    };
    call(L"StopWheel");
    sendWheel(form->window());
    EXPECT_EQ(wheelEvents(*form), 0);
    call(L"StartWheel");
    sendWheel(form->window());
    EXPECT_EQ(wheelEvents(*form), 1);
    call(L"About");
    HWND about = FindWindowA("RotelleAbout", nullptr);
    ASSERT_NE(about, nullptr);
    DestroyWindow(about);

    // The same object's IDispatch entries at the head of that table.
    auto* d = static_cast<IDispatch*>(view);
    UINT n = 0;
    CHECKED(d, IDispatch::GetTypeInfoCount, &n);
    EXPECT_EQ(n, 1u);
    CHECKED(d, IUnknown::AddRef);
    CHECKED(d, IUnknown::Release);
    CHECKED(d, IUnknown::Release);
}

TEST_F(Calling32, EveryComMethodOfTheControlAndItsFactory)
{
    IOleObject* ole = site->control;
    HWND w = form->window();

    void* p = nullptr;
    verifie("IUnknown::QueryInterface", stackcheck::methode(ole, QueryInterface, IID_IUnknown, &p));
    release(static_cast<IUnknown*>(p));
    CHECKED(ole, IUnknown::AddRef);
    CHECKED(ole, IUnknown::Release);

    IDispatch* d = as<IDispatch>(ole, IID_IDispatch);
    UINT n = 0;
    ITypeInfo* ti = nullptr;
    CHECKED(d, IDispatch::GetTypeInfoCount, &n);
    CHECKED(d, IDispatch::GetTypeInfo, 0u, LCID(0), &ti);
    release(ti);
    wchar_t stop[] = L"StopWheel", start[] = L"StartWheel";
    LPOLESTR names[] = {stop};
    DISPID ids[2] = {};
    CHECKED(d, IDispatch::GetIDsOfNames, IID_NULL, names, 1u, LCID(0), &ids[0]);
    names[0] = start;
    CHECKED(d, IDispatch::GetIDsOfNames, IID_NULL, names, 1u, LCID(0), &ids[1]);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    for (DISPID id : ids)
        EXPECT_EQ(CHECKED(d, IDispatch::Invoke, id, IID_NULL, LCID(0), WORD(DISPATCH_METHOD), &none, &result,
                          nullptr, nullptr).resultat, static_cast<std::uint32_t>(S_OK));
    release(d);

    IConnectionPointContainer* cpc = as<IConnectionPointContainer>(ole, IID_IConnectionPointContainer);
    IEnumConnectionPoints* points = nullptr;
    IConnectionPoint* cp = nullptr;
    CHECKED(cpc, IConnectionPointContainer::EnumConnectionPoints, &points);
    release(points);
    CHECKED(cpc, IConnectionPointContainer::FindConnectionPoint, DIID___Wheel, &cp);
    ASSERT_NE(cp, nullptr);
    IID iid;
    IConnectionPointContainer* back = nullptr;
    DWORD cookie = 0;
    IEnumConnections* connections = nullptr;
    CHECKED(cp, IConnectionPoint::GetConnectionInterface, &iid);
    CHECKED(cp, IConnectionPoint::GetConnectionPointContainer, &back);
    release(back);
    CHECKED(cp, IConnectionPoint::Advise, form->formObject(), &cookie);
    CHECKED(cp, IConnectionPoint::EnumConnections, &connections);
    release(connections);
    CHECKED(cp, IConnectionPoint::Unadvise, cookie);
    release(cp);
    release(cpc);

    IOleClientSite* clientSite = nullptr;
    IMoniker* moniker = nullptr;
    IDataObject* data = nullptr;
    IEnumOLEVERB* verbs = nullptr;
    IEnumSTATDATA* advises = nullptr;
    LPOLESTR type = nullptr;
    CLSID clsid;
    SIZEL size = {882, 882};
    RECT rect = {0, 0, 10, 10};
    DWORD status = 0;
    CHECKED(ole, IOleObject::GetClientSite, &clientSite);
    CHECKED(ole, IOleObject::SetClientSite, clientSite);
    release(clientSite);
    CHECKED(ole, IOleObject::SetHostNames, L"Hôte", L"Forme");
    CHECKED(ole, IOleObject::SetMoniker, DWORD(OLEWHICHMK_CONTAINER), nullptr);
    CHECKED(ole, IOleObject::GetMoniker, DWORD(OLEGETMONIKER_ONLYIFTHERE), DWORD(OLEWHICHMK_CONTAINER), &moniker);
    release(moniker);
    CHECKED(ole, IOleObject::InitFromData, nullptr, FALSE, DWORD(0));
    CHECKED(ole, IOleObject::GetClipboardData, DWORD(0), &data);
    release(data);
    CHECKED(ole, IOleObject::DoVerb, LONG(OLEIVERB_SHOW), nullptr, site, LONG(0), w, &rect);
    CHECKED(ole, IOleObject::EnumVerbs, &verbs);
    release(verbs);
    CHECKED(ole, IOleObject::Update);
    CHECKED(ole, IOleObject::IsUpToDate);
    CHECKED(ole, IOleObject::GetUserClassID, &clsid);
    CHECKED(ole, IOleObject::GetUserType, DWORD(USERCLASSTYPE_FULL), &type);
    CoTaskMemFree(type);
    CHECKED(ole, IOleObject::SetExtent, DWORD(DVASPECT_CONTENT), &size);
    CHECKED(ole, IOleObject::GetExtent, DWORD(DVASPECT_CONTENT), &size);
    CHECKED(ole, IOleObject::Advise, nullptr, &cookie);
    CHECKED(ole, IOleObject::Unadvise, DWORD(0));
    CHECKED(ole, IOleObject::EnumAdvise, &advises);
    release(advises);
    CHECKED(ole, IOleObject::GetMiscStatus, DWORD(DVASPECT_CONTENT), &status);
    CHECKED(ole, IOleObject::SetColorScheme, nullptr);
    CHECKED(ole, IOleObject::Close, DWORD(OLECLOSE_NOSAVE));

    IOleControl* control = as<IOleControl>(ole, IID_IOleControl);
    CONTROLINFO info = {};
    info.cb = sizeof info;
    CHECKED(control, IOleControl::GetControlInfo, &info);
    CHECKED(control, IOleControl::OnMnemonic, nullptr);
    CHECKED(control, IOleControl::OnAmbientPropertyChange, DISPID(DISPID_UNKNOWN));
    CHECKED(control, IOleControl::FreezeEvents, FALSE);
    release(control);

    IOleInPlaceObject* inPlace = as<IOleInPlaceObject>(ole, IID_IOleInPlaceObject);
    HWND own = nullptr;
    CHECKED(inPlace, IOleInPlaceObject::GetWindow, &own);
    CHECKED(inPlace, IOleInPlaceObject::ContextSensitiveHelp, FALSE);
    CHECKED(inPlace, IOleInPlaceObject::SetObjectRects, &rect, &rect);
    CHECKED(inPlace, IOleInPlaceObject::UIDeactivate);
    CHECKED(inPlace, IOleInPlaceObject::InPlaceDeactivate);
    CHECKED(inPlace, IOleInPlaceObject::ReactivateAndUndo);
    release(inPlace);

    IPersistStreamInit* stream = as<IPersistStreamInit>(ole, IID_IPersistStreamInit);
    IStream* saved = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &saved), S_OK);
    ULARGE_INTEGER max;
    CHECKED(stream, IPersistStreamInit::GetClassID, &clsid);
    CHECKED(stream, IPersistStreamInit::IsDirty);
    CHECKED(stream, IPersistStreamInit::Save, saved, TRUE);
    CHECKED(stream, IPersistStreamInit::GetSizeMax, &max);
    CHECKED(stream, IPersistStreamInit::InitNew);
    CHECKED(stream, IPersistStreamInit::Load, saved);
    release(saved);
    release(stream);

    IPersistPropertyBag* bag = as<IPersistPropertyBag>(ole, IID_IPersistPropertyBag);
    CHECKED(bag, IPersistPropertyBag::GetClassID, &clsid);
    CHECKED(bag, IPersistPropertyBag::InitNew);
    CHECKED(bag, IPersistPropertyBag::Save, nullptr, FALSE, FALSE);
    release(bag);

    IProvideClassInfo2* classInfo = as<IProvideClassInfo2>(ole, IID_IProvideClassInfo2);
    GUID source;
    CHECKED(classInfo, IProvideClassInfo2::GetClassInfo, &ti);
    release(ti);
    CHECKED(classInfo, IProvideClassInfo2::GetGUID, DWORD(GUIDKIND_DEFAULT_SOURCE_DISP_IID), &source);
    release(classInfo);

    IViewObject2* view = as<IViewObject2>(ole, IID_IViewObject2);
    HDC dc = GetDC(w);
    RECTL bounds = {0, 0, 32, 32};
    LOGPALETTE* palette = nullptr;
    DWORD aspects = 0, flags = 0, freeze = 0;
    IAdviseSink* sink = nullptr;
    CHECKED(view, IViewObject2::Draw, DWORD(DVASPECT_CONTENT), LONG(-1), nullptr, nullptr, nullptr, dc, &bounds,
            nullptr, nullptr, ULONG_PTR(0));
    ReleaseDC(w, dc);
    CHECKED(view, IViewObject2::GetColorSet, DWORD(DVASPECT_CONTENT), LONG(-1), nullptr, nullptr, nullptr, &palette);
    CHECKED(view, IViewObject2::Freeze, DWORD(DVASPECT_CONTENT), LONG(-1), nullptr, &freeze);
    CHECKED(view, IViewObject2::Unfreeze, freeze);
    CHECKED(view, IViewObject2::SetAdvise, DWORD(DVASPECT_CONTENT), DWORD(0), nullptr);
    CHECKED(view, IViewObject2::GetAdvise, &aspects, &flags, &sink);
    release(sink);
    CHECKED(view, IViewObject2::GetExtent, DWORD(DVASPECT_CONTENT), LONG(-1), nullptr, &size);
    release(view);

    ISupportErrorInfo* errors = as<ISupportErrorInfo>(ole, IID_ISupportErrorInfo);
    CHECKED(errors, ISupportErrorInfo::InterfaceSupportsErrorInfo, IID_IDispatch);
    release(errors);

    // The library's exports and its class factory.
    auto get = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void (*)()>(container::exported("DllGetClassObject")));
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(container::exported("DllCanUnloadNow")));
    IClassFactory* factory = nullptr;
    verifie("DllGetClassObject", stackcheck::fonction(get, CLSID_Wheel, IID_IClassFactory,
                                                      reinterpret_cast<void**>(&factory)));
    verifie("DllCanUnloadNow", stackcheck::fonction(canUnload));
    ASSERT_NE(factory, nullptr);
    IUnknown* made = nullptr;
    CHECKED(factory, IClassFactory::CreateInstance, nullptr, IID_IUnknown, reinterpret_cast<void**>(&made));
    ASSERT_NE(made, nullptr);
    made->Release();
    CHECKED(factory, IClassFactory::LockServer, TRUE);
    CHECKED(factory, IClassFactory::LockServer, FALSE);
    release(factory);
}

TEST_F(Calling32, TheWindowProceduresTheControlInstalls)
{
    HWND w = form->window();
    auto hook = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(w, GWLP_WNDPROC));
    ASSERT_NE(hook, &Form::procedure);   // the control's procedure is in front of the form's
    const stackcheck::Appel a = verifie("HookWindowProc", stackcheck::fonction(
        hook, w, UINT(WM_MOUSEWHEEL), WPARAM(MAKEWPARAM(0, static_cast<WORD>(-120))), LPARAM(MAKELPARAM(10, 10))));
    EXPECT_EQ(static_cast<LRESULT>(a.resultat), form->wheelResult);
    EXPECT_EQ(wheelEvents(*form), 1);
    verifie("HookWindowProc", stackcheck::fonction(hook, w, UINT(WM_NULL), WPARAM(0), LPARAM(0)));

    ASSERT_EQ(site->call(L"About"), S_OK);
    HWND about = FindWindowA("RotelleAbout", nullptr);
    ASSERT_NE(about, nullptr);
    HWND ok = GetDlgItem(about, IDOK);
    ASSERT_NE(ok, nullptr);
    auto button = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(ok, GWLP_WNDPROC));
    auto dialog = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(about, GWLP_WNDPROC));
    verifie("About button", stackcheck::fonction(button, ok, UINT(WM_NULL), WPARAM(0), LPARAM(0)));
    verifie("About dialog", stackcheck::fonction(dialog, about, UINT(WM_NULL), WPARAM(0), LPARAM(0)));
    verifie("About dialog, Ok", stackcheck::fonction(dialog, about, UINT(WM_COMMAND),
                                                     WPARAM(MAKEWPARAM(IDOK, BN_CLICKED)), LPARAM(ok)));
    EXPECT_FALSE(IsWindow(about));   // the click went through the checked call and closed it
}
