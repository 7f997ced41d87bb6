#include "container.h"

#include <cwchar>
#include <string>

namespace container {

namespace {

constexpr GUID DIID___Wheel = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};
constexpr GUID CLSID_Wheel = {0xA6C60A56, 0x0F8A, 0x43D3, {0xB4, 0xE7, 0xDF, 0xA6, 0x4E, 0x4E, 0xF8, 0xF6}};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

// GetProcAddress gives a generic function pointer; going through void(*)() says the
// conversion to the export's real type is meant.
template <class F>
F entry(const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(exported(name)));
}

Form* current = nullptr;

VARIANT dispatchValue(IDispatch* d)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = d;
    d->AddRef();
    return v;
}

}  // namespace

HMODULE library()
{
    static HMODULE module = LoadLibraryA(ROTELLE_OCX);
    return module;
}

FARPROC exported(const char* name)
{
    return GetProcAddress(library(), name);
}

std::map<std::wstring, int> publishedSlots(unsigned& cbSizeVft)
{
    std::map<std::wstring, int> slot;
    cbSizeVft = 0;
    const std::string path = ROTELLE_OCX;
    ITypeLib* lib = nullptr;
    if (FAILED(LoadTypeLibEx(std::wstring(path.begin(), path.end()).c_str(), REGKIND_NONE, &lib)))
        return slot;
    const GUID iid = {0x7CDC43CB, 0x57CB, 0x4FB3, {0xAE, 0xF4, 0x2B, 0xBB, 0x62, 0x47, 0x1F, 0x92}};
    ITypeInfo* dispatch = nullptr;
    ITypeInfo* vtable = nullptr;
    HREFTYPE ref = 0;
    if (SUCCEEDED(lib->GetTypeInfoOfGuid(iid, &dispatch)) &&
        SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
        SUCCEEDED(dispatch->GetRefTypeInfo(ref, &vtable))) {
        TYPEATTR* attr = nullptr;
        vtable->GetTypeAttr(&attr);
        cbSizeVft = attr->cbSizeVft;
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* f = nullptr;
            vtable->GetFuncDesc(i, &f);
            BSTR name = nullptr;
            vtable->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
            slot[name] = f->oVft / static_cast<int>(sizeof(void*));
            SysFreeString(name);
            vtable->ReleaseFuncDesc(f);
        }
        vtable->ReleaseTypeAttr(attr);
        vtable->Release();
    }
    if (dispatch)
        dispatch->Release();
    lib->Release();
    return slot;
}

bool libraryUnloadable()
{
    auto can = entry<CanUnloadNow>("DllCanUnloadNow");
    return can && can() == S_OK;
}

Automation::Automation(std::vector<std::pair<std::wstring, Getter>> properties) : properties_(std::move(properties)) {}

STDMETHODIMP Automation::QueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) Automation::Release()
{
    const ULONG n = --refs_;
    if (n == 0)
        delete this;
    return n;
}

STDMETHODIMP Automation::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids)
{
    for (std::size_t i = 0; i < properties_.size(); ++i)
        if (_wcsicmp(names[0], properties_[i].first.c_str()) == 0) {
            ids[0] = static_cast<DISPID>(i + 1);
            return S_OK;
        }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP Automation::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (id < 1 || static_cast<std::size_t>(id) > properties_.size() || !(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
    return properties_[static_cast<std::size_t>(id) - 1].second(result);
}

Form::Form()
{
    static const ATOM cls = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RotelleTestForm";
        return RegisterClassA(&wc);
    }();
    current = this;
    window_ = CreateWindowExA(0, MAKEINTATOM(cls), "Form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int i = 0; i < 2; ++i) {
        children_[i] = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10 + 30 * i, 200, 24,
                                       window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)),
                                       GetModuleHandleA(nullptr), nullptr);
        HWND h = children_[i];
        childObjects_[i] = new Automation({{L"hWnd", [h](VARIANT* v) {
                                               v->vt = VT_I4;
                                               v->lVal = HandleToLong(h);
                                               return S_OK;
                                           }}});
    }
    object_ = new Automation({{L"hWnd",
                               [this](VARIANT* v) {
                                   if (hwndFails)
                                       return E_ACCESSDENIED;
                                   v->vt = VT_I4;
                                   v->lVal = HandleToLong(hwndGiven ? hwndGiven : window_);
                                   return S_OK;
                               }},
                              {L"ActiveControl", [this](VARIANT* v) {
                                   if (activeControlFails)
                                       return E_FAIL;
                                   const HWND focus = GetFocus();
                                   *v = dispatchValue(focus == children_[1] ? childObjects_[1] : childObjects_[0]);
                                   return S_OK;
                               }}});
}

Form::~Form()
{
    DestroyWindow(window_);
    object_->Release();
    for (auto* c : childObjects_)
        c->Release();
    current = nullptr;
}

LRESULT CALLBACK Form::procedure(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (current && w == current->window_ && (m == WM_MOUSEWHEEL || m == WM_APP)) {
        Event e{Event::formMessage};
        e.message = m;
        current->events.push_back(e);
        return m == WM_MOUSEWHEEL ? current->wheelResult : 0x77;
    }
    return DefWindowProcA(w, m, wp, lp);
}

// The host's event handler: records WheelRotate as the sink receives it.
class Site::Sink final : public IDispatch {
public:
    explicit Sink(Site& site) : site_(site) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID___Wheel) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override
    {
        if (id != 1)
            return DISP_E_MEMBERNOTFOUND;
        Event e{Event::wheelRotate};
        e.site = &site_;
        e.argCount = static_cast<int>(p->cArgs);
        for (UINT i = 0; i < p->cArgs && i < 4; ++i)
            e.types[i] = p->rgvarg[i].vt;
        if (p->cArgs == 4 && e.types[0] == (VT_BYREF | VT_I4) && e.types[1] == (VT_BYREF | VT_I4)
            && e.types[2] == (VT_BYREF | VT_I4) && e.types[3] == (VT_BYREF | VT_DISPATCH)) {
            e.y = *p->rgvarg[0].plVal;
            e.x = *p->rgvarg[1].plVal;
            e.delta = *p->rgvarg[2].plVal;
            e.ctrl = *p->rgvarg[3].ppdispVal;
        }
        site_.form.events.push_back(e);
        if (site_.form.duringEvent)
            site_.form.duringEvent(site_);
        return S_OK;
    }

private:
    ULONG refs_ = 1;
    Site& site_;
};

Site* Form::add(bool userMode, bool load)
{
    Site* site = new Site(*this, userMode);
    auto get = entry<GetClassObject>("DllGetClassObject");
    IClassFactory* factory = nullptr;
    if (!get || FAILED(get(CLSID_Wheel, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return site;
    factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&site->control));
    factory->Release();
    if (!site->control)
        return site;
    site->control->SetClientSite(site);
    IConnectionPointContainer* cpc = nullptr;
    if (SUCCEEDED(site->control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)))) {
        if (SUCCEEDED(cpc->FindConnectionPoint(DIID___Wheel, &site->point_))) {
            site->sink_ = new Site::Sink(*site);
            site->point_->Advise(site->sink_, &site->cookie_);
        }
        cpc->Release();
    }
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(site->control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        IStream* saved = nullptr;
        if (load && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &saved))) {
            persist->Load(saved);
            saved->Release();
        } else
            persist->InitNew();
        persist->Release();
    }
    return site;
}

Site::Site(Form& f, bool mode) : userMode(mode), form(f)
{
    IDispatch* parent = f.formObject();
    extender_ = new Automation({{L"Parent", [parent](VARIANT* v) {
                                     *v = dispatchValue(parent);
                                     return S_OK;
                                 }}});
}

Site::~Site()
{
    releaseControl();
    extender_->Release();
}

void Site::releaseControl()
{
    if (point_) {
        point_->Unadvise(cookie_);
        point_->Release();
        point_ = nullptr;
    }
    if (sink_) {
        sink_->Release();
        sink_ = nullptr;
    }
    if (control) {
        IOleObject* c = control;
        control = nullptr;
        c->SetClientSite(nullptr);
        c->Release();
    }
}

STDMETHODIMP Site::QueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleControlSite)
        *ppv = static_cast<IOleControlSite*>(this);
    else if (riid == IID_IDispatch)
        *ppv = static_cast<IDispatch*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Site::Release()
{
    return --refs_;   // owned by the test
}

STDMETHODIMP Site::GetExtendedControl(IDispatch** d)
{
    *d = extender_;
    extender_->AddRef();
    return S_OK;
}

STDMETHODIMP Site::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (id != DISPID_AMBIENT_USERMODE || !result)
        return DISP_E_MEMBERNOTFOUND;
    VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = userMode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT Site::call(const wchar_t* method)
{
    if (!control)
        return E_POINTER;
    IDispatch* d = nullptr;
    HRESULT hr = control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    if (FAILED(hr))
        return hr;
    LPOLESTR name = const_cast<LPOLESTR>(method);
    DISPID id;
    hr = d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        EXCEPINFO info = {};
        hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &info, nullptr);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    d->Release();
    return hr;
}

}  // namespace container
