#include "wheel.h"

#include "dlgabout.h"
#include "identities.h"
#include "modhook.h"
#include "wheel_message.h"

#include <algorithm>
#include <new>

namespace rotelle {

std::atomic<long> objetsvivants{0};

// The control's one connection point: the event interface __Wheel. It shares the control's
// lifetime and hands out its sinks' connections.
class Wheel::PointConnexion final : public IConnectionPoint {
public:
    explicit PointConnexion(Wheel* controle) : controle_(controle) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *ppv = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return controle_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return controle_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = DIID___Wheel;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** cpc) override
    {
        if (!cpc)
            return E_POINTER;
        *cpc = controle_;
        controle_->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        ComRef<IDispatch> dispatch;
        if (FAILED(sink->QueryInterface(DIID___Wheel, reinterpret_cast<void**>(dispatch.put())))
            && FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put()))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 0;
        try {
            controle_->abonnes_.push_back({controle_->prochaincookie_, dispatch});
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        *cookie = controle_->prochaincookie_++;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override
    {
        auto& abonnes = controle_->abonnes_;
        const auto it = std::find_if(abonnes.begin(), abonnes.end(), [&](const Abonne& a) { return a.cookie == cookie; });
        if (it == abonnes.end())
            return CONNECT_E_NOCONNECTION;
        abonnes.erase(it);
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** e) override;

private:
    Wheel* controle_;
};

namespace {

// What an enumerator's element holds a reference to.
IUnknown* objet(const CONNECTDATA& d)
{
    return d.pUnk;
}
IUnknown* objet(IConnectionPoint* p)
{
    return p;
}

// A snapshot of connections or connection points, as the platform's enumerators hand them
// out; each element's object is held while the enumerator lives.
template <class IEnum, class T, const IID& iid>
class Enumeration final : public IEnum {
public:
    explicit Enumeration(std::vector<T> elements, std::size_t position = 0)
        : elements_(std::move(elements)), position_(position)
    {
        for (auto& e : elements_)
            objet(e)->AddRef();
        ++objetsvivants;
    }
    ~Enumeration()
    {
        for (auto& e : elements_)
            objet(e)->Release();
        --objetsvivants;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == iid) {
            *ppv = static_cast<IEnum*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG n = --references_;
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG n, T* sortie, ULONG* lus) override
    {
        if (!sortie)
            return E_POINTER;
        ULONG i = 0;
        for (; i < n && position_ < elements_.size(); ++i, ++position_) {
            sortie[i] = elements_[position_];
            objet(sortie[i])->AddRef();
        }
        if (lus)
            *lus = i;
        return i == n ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG n) override
    {
        // S_OK when all n were skipped, even up to the very end.
        const std::size_t reste = elements_.size() - position_;
        const bool tous = n <= reste;
        position_ += tous ? n : reste;
        return tous ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** e) override
    {
        if (!e)
            return E_POINTER;
        *e = nullptr;
        try {
            *e = new Enumeration(elements_, position_);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{1};
    std::vector<T> elements_;
    std::size_t position_;
};

using Connexions = Enumeration<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;
using PointsConnexion = Enumeration<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;

}  // namespace

STDMETHODIMP Wheel::PointConnexion::EnumConnections(IEnumConnections** e)
{
    if (!e)
        return E_POINTER;
    *e = nullptr;
    try {
        std::vector<CONNECTDATA> donnees;
        for (const auto& a : controle_->abonnes_)
            donnees.push_back({a.sink.get(), a.cookie});
        *e = new Connexions(std::move(donnees));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

Wheel::Wheel() : point_(new PointConnexion(this))
{
    initialisevue(appels_, this);
    ++objetsvivants;
}

Wheel::~Wheel()
{
    delete point_;
    --objetsvivants;
}

HRESULT Wheel::erreur(HRESULT hr, const wchar_t* description)
{
    ComRef<ICreateErrorInfo> creation;
    if (SUCCEEDED(CreateErrorInfo(creation.put()))) {
        creation->SetGUID(IID__Wheel);
        creation->SetSource(const_cast<LPOLESTR>(L"RotelleCV.Wheel"));
        creation->SetDescription(const_cast<LPOLESTR>(description));
        ComRef<IErrorInfo> info;
        if (SUCCEEDED(creation->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()))))
            SetErrorInfo(0, info.get());
    }
    return hr;
}

HRESULT cheminmodule(std::wstring& chemin)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&cheminmodule), &module);
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

HRESULT litpropriete(IDispatch* objet, const wchar_t* nom, VARTYPE type, VARIANT* valeur)
{
    VariantInit(valeur);
    LPOLESTR nomdispatch = const_cast<LPOLESTR>(nom);
    DISPID id;
    HRESULT hr = objet->GetIDsOfNames(IID_NULL, &nomdispatch, 1, LOCALE_USER_DEFAULT, &id);
    DISPPARAMS aucun = {nullptr, nullptr, 0, 0};
    if (SUCCEEDED(hr))
        hr = objet->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &aucun, valeur, nullptr, nullptr);
    if (SUCCEEDED(hr))
        hr = VariantChangeType(valeur, valeur, 0, type);
    if (FAILED(hr))
        VariantClear(valeur);
    return hr;
}

HRESULT Wheel::modeutilisateur(bool& utilisateur)
{
    utilisateur = false;
    if (!site_)
        return erreur(E_UNEXPECTED, L"The control has no container");
    // A container that has no ambient properties, or not this one, is a running host: only a
    // design environment says it is not.
    ComRef<IDispatch> ambiantes;
    if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ambiantes.put()))) || !ambiantes) {
        utilisateur = true;
        return S_OK;
    }
    DISPPARAMS aucun = {nullptr, nullptr, 0, 0};
    VARIANT valeur;
    VariantInit(&valeur);
    HRESULT hr = ambiantes->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                   &aucun, &valeur, nullptr, nullptr);
    if (hr == DISP_E_MEMBERNOTFOUND) {
        utilisateur = true;
        return S_OK;
    }
    if (SUCCEEDED(hr))
        hr = VariantChangeType(&valeur, &valeur, 0, VT_BOOL);
    if (FAILED(hr)) {
        VariantClear(&valeur);
        return erreur(hr, L"The ambient user mode cannot be read");
    }
    utilisateur = valeur.boolVal != VARIANT_FALSE;
    return S_OK;
}

static bool inconnu(HRESULT hr)
{
    return hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND;
}

HRESULT Wheel::formeparente(ComRef<IDispatch>& forme, bool& sansforme)
{
    sansforme = false;
    if (!site_)
        return erreur(E_UNEXPECTED, L"The control has no container");
    // The form is the extender's "Parent"; a container without extender is the form itself.
    // A container that offers neither (sansforme) is left to the caller's other means.
    ComRef<IOleControlSite> controlsite;
    ComRef<IDispatch> extension;
    if (SUCCEEDED(site_->QueryInterface(IID_IOleControlSite, reinterpret_cast<void**>(controlsite.put())))
        && SUCCEEDED(controlsite->GetExtendedControl(extension.put())) && extension) {
        VARIANT parent;
        HRESULT hr = litpropriete(extension.get(), L"Parent", VT_DISPATCH, &parent);
        if (inconnu(hr)) {
            sansforme = true;
            return hr;
        }
        if (FAILED(hr) || !parent.pdispVal) {
            VariantClear(&parent);
            return erreur(FAILED(hr) ? hr : E_NOINTERFACE, L"The control's Parent cannot be read");
        }
        forme = ComRef<IDispatch>(parent.pdispVal);
        VariantClear(&parent);
        return S_OK;
    }
    ComRef<IOleContainer> conteneur;
    HRESULT hr = site_->GetContainer(conteneur.put());
    if (SUCCEEDED(hr) && conteneur)
        hr = conteneur->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(forme.put()));
    if (FAILED(hr) || !forme) {
        sansforme = true;
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    return S_OK;
}

HWND Wheel::fenetreenplace()
{
    ComRef<IOleInPlaceSite> enplace;
    HWND fenetre = nullptr;
    if (!site_ || FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(enplace.put())))
        || FAILED(enplace->GetWindow(&fenetre)) || !fenetre)
        return nullptr;
    return GetAncestor(fenetre, GA_ROOT);
}

HRESULT Wheel::About()
{
    HRESULT hr = E_OUTOFMEMORY;
    try {
        hr = dlgAbout::duthread().Show();
    } catch (const std::bad_alloc&) {
    }
    return FAILED(hr) ? erreur(hr, L"The About dialog cannot be shown") : hr;
}

HRESULT Wheel::StopWheel()
{
    if (HostWnd_ != 0)
        UnhookWindow(static_cast<HWND>(LongToHandle(HostWnd_)));
    return S_OK;
}

void Wheel::arretepropre()
{
    // Only this control's own entry: another control that took the form over keeps it.
    if (HostWnd_ != 0)
        UnhookWindow(static_cast<HWND>(LongToHandle(HostWnd_)), this);
}

HRESULT Wheel::accroche(HWND fenetre, bool parfenetre)
{
    HRESULT hr = E_OUTOFMEMORY;
    try {
        hr = HookWindow(fenetre, this);
    } catch (const std::bad_alloc&) {
        hr = erreur(E_OUTOFMEMORY, L"Out of memory");
    }
    if (FAILED(hr))
        return hr;   // the hook it had, if any, is as it was
    // A form of its own before this one stays the control's no longer.
    const std::int32_t ancienne = HostWnd_;
    if (ancienne != 0 && ancienne != HandleToLong(fenetre))
        arretepropre();
    HostWnd_ = HandleToLong(fenetre);
    parfenetre_ = parfenetre;
    return S_OK;
}

HRESULT Wheel::StartWheel()
{
    bool utilisateur = false;
    HRESULT hr = modeutilisateur(utilisateur);
    if (FAILED(hr) || !utilisateur)
        return hr;
    ComRef<IDispatch> forme;
    bool sansforme = false;
    hr = formeparente(forme, sansforme);
    if (FAILED(hr) && sansforme) {
        // A container with no form object (ATL, MFC, browser-style hosts): the form is the
        // top-level window of the control's place in it, and the event's Ctrl is Nothing.
        HWND fenetre = fenetreenplace();
        if (!fenetre)
            return erreur(hr, L"The control's form cannot be reached");
        return accroche(fenetre, true);
    }
    if (FAILED(hr))
        return hr;
    VARIANT hwnd;
    hr = litpropriete(forme.get(), L"hWnd", VT_I4, &hwnd);
    if (FAILED(hr))
        return erreur(hr, L"The form's hWnd cannot be read as a 32-bit number");
    if (hwnd.lVal == 0)
        return S_OK;   // nothing to hook, and the hook it had stays
    return accroche(static_cast<HWND>(LongToHandle(hwnd.lVal)), false);
}

HRESULT Wheel::charge()
{
    charge_ = true;
    // Some hosts load saved state before they give the control its site.
    if (!site_) {
        demarrage_ = true;
        return S_OK;
    }
    // A hook that cannot start leaves the control stopped, not the container's form unloaded;
    // a load that succeeds leaves no error behind for the container's next call.
    if (FAILED(StartWheel()))
        SetErrorInfo(0, nullptr);
    return S_OK;
}

STDMETHODIMP Wheel::OnAmbientPropertyChange(DISPID id)
{
    if (id != DISPID_AMBIENT_USERMODE && id != DISPID_UNKNOWN)
        return S_OK;
    // Switching to design mode stops the hook; back at run time a loaded control starts again.
    bool utilisateur = false;
    if (FAILED(modeutilisateur(utilisateur)) || !utilisateur)
        StopWheel();
    else if (charge_ && FAILED(StartWheel()))
        SetErrorInfo(0, nullptr);   // the container's notification succeeded all the same
    return S_OK;
}

STDMETHODIMP Wheel::FreezeEvents(BOOL gele)
{
    gel_ = gele ? gel_ + 1 : std::max(0, gel_ - 1);
    return S_OK;
}

HRESULT Wheel::RaiseWheelRotate(std::int32_t WheelDelta, std::int32_t X, std::int32_t Y)
{
    if (gel_ > 0)
        return S_OK;   // the container holds its events back for now
    IDispatch* Ctrl = nullptr;
    if (!parfenetre_) {
        ComRef<IDispatch> forme;
        bool sansforme = false;
        HRESULT hr = formeparente(forme, sansforme);
        if (FAILED(hr))
            return sansforme ? erreur(hr, L"The control's form cannot be reached") : hr;
        VARIANT actif;
        hr = litpropriete(forme.get(), L"ActiveControl", VT_DISPATCH, &actif);
        if (FAILED(hr))
            return erreur(hr, L"The form's ActiveControl cannot be read");
        Ctrl = actif.pdispVal;
    }
    LONG Delta = DeltaOf(WheelDelta);
    LONG x = X, y = Y;
    // Arguments go in reverse order: Y, X, Delta, Ctrl. A sink may disconnect while it is
    // called, so the call goes to the sinks as they were when the event was raised.
    VARIANT arguments[4];
    for (auto& a : arguments)
        VariantInit(&a);
    arguments[0].vt = VT_BYREF | VT_I4;
    arguments[0].plVal = &y;
    arguments[1].vt = VT_BYREF | VT_I4;
    arguments[1].plVal = &x;
    arguments[2].vt = VT_BYREF | VT_I4;
    arguments[2].plVal = &Delta;
    arguments[3].vt = VT_BYREF | VT_DISPATCH;
    arguments[3].ppdispVal = &Ctrl;
    DISPPARAMS params = {arguments, nullptr, 4, 0};
    const std::vector<Abonne> abonnes = abonnes_;
    for (const auto& a : abonnes) {
        // One that an earlier handler disconnected has been told it gets nothing more.
        if (std::none_of(abonnes_.begin(), abonnes_.end(), [&](const Abonne& b) { return b.cookie == a.cookie; }))
            continue;
        a.sink->Invoke(DISPID_WheelRotate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                       nullptr, nullptr);
    }
    // A sink may have put another object in Ctrl; the one released is the one held now.
    if (Ctrl)
        Ctrl->Release();
    return S_OK;
}

STDMETHODIMP Wheel::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown)
        *ppv = static_cast<IDispatch*>(this);
    else if (riid == IID__Wheel || riid == IID_IDispatch)
        *ppv = &appels_;   // dual: a host may call on past IDispatch's entries, as the library says
    else if (riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IOleObject)
        *ppv = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleControl)
        *ppv = static_cast<IOleControl*>(this);
    else if (riid == IID_IOleInPlaceObject || riid == IID_IOleWindow)
        *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IPersistStreamInit || riid == IID_IPersistStream || riid == IID_IPersist)
        *ppv = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IPersistPropertyBag)
        *ppv = static_cast<IPersistPropertyBag*>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        *ppv = static_cast<IProvideClassInfo2*>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        *ppv = static_cast<IViewObject2*>(this);
    else if (riid == IID_ISupportErrorInfo)
        *ppv = static_cast<ISupportErrorInfo*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Wheel::AddRef()
{
    return ++references_;
}

STDMETHODIMP_(ULONG) Wheel::Release()
{
    const ULONG n = --references_;
    if (n != 0)
        return n;
    // Terminate: the control stops its hook. Held at one meanwhile, so that references taken
    // and given back on the way do not end it twice.
    references_ = 1;
    arretepropre();
    site_ = ComRef<IOleClientSite>();
    vue_ = ComRef<IAdviseSink>();
    delete this;
    return 0;
}

STDMETHODIMP Wheel::GetTypeInfoCount(UINT* n)
{
    if (!n)
        return E_POINTER;
    *n = 1;
    return S_OK;
}

STDMETHODIMP Wheel::GetTypeInfo(UINT index, LCID, ITypeInfo** ti)
{
    if (!ti)
        return E_POINTER;
    *ti = nullptr;
    return index == 0 ? typeinfo(IID__Wheel, ti) : DISP_E_BADINDEX;
}

STDMETHODIMP Wheel::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    // Names are looked up in the published description, on its call-table side.
    ComRef<ITypeInfo> dispatch, appels;
    HREFTYPE reference;
    HRESULT hr = typeinfo(IID__Wheel, dispatch.put());
    if (SUCCEEDED(hr))
        hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference);
    if (SUCCEEDED(hr))
        hr = dispatch->GetRefTypeInfo(reference, appels.put());
    return FAILED(hr) ? hr : appels->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP Wheel::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excepinfo, UINT*)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (id != DISPID_About && id != DISPID_StopWheel && id != DISPID_StartWheel)
        return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_METHOD))
        return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0)
        return DISP_E_BADPARAMCOUNT;
    if (result)
        VariantInit(result);
    HRESULT hr = S_OK;
    switch (id) {
    case DISPID_About: hr = About(); break;
    case DISPID_StopWheel: hr = StopWheel(); break;
    default: hr = StartWheel(); break;
    }
    // Without an EXCEPINFO to carry it, the method's own error is the answer.
    if (SUCCEEDED(hr) || !excepinfo)
        return hr;
    {
        *excepinfo = EXCEPINFO{};
        excepinfo->scode = hr;
        excepinfo->bstrSource = SysAllocString(L"RotelleCV.Wheel");
        ComRef<IErrorInfo> info;
        if (GetErrorInfo(0, info.put()) == S_OK && info) {
            info->GetDescription(&excepinfo->bstrDescription);
            SetErrorInfo(0, info.get());   // left for those who ask the thread
        }
    }
    return DISP_E_EXCEPTION;
}

STDMETHODIMP Wheel::EnumConnectionPoints(IEnumConnectionPoints** e)
{
    if (!e)
        return E_POINTER;
    *e = nullptr;
    try {
        *e = new PointsConnexion({point_});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP Wheel::FindConnectionPoint(REFIID riid, IConnectionPoint** cp)
{
    if (!cp)
        return E_POINTER;
    *cp = nullptr;
    if (riid != DIID___Wheel)
        return CONNECT_E_NOCONNECTION;
    *cp = point_;
    point_->AddRef();
    return S_OK;
}

STDMETHODIMP Wheel::SetClientSite(IOleClientSite* site)
{
    site_ = ComRef<IOleClientSite>(site);
    if (site_ && demarrage_) {
        demarrage_ = false;
        if (FAILED(StartWheel()))   // as from Load: the container's call succeeds
            SetErrorInfo(0, nullptr);
    }
    return S_OK;
}

STDMETHODIMP Wheel::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = site_.get();
    if (*site)
        (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP Wheel::GetUserClassID(CLSID* clsid)
{
    return GetClassID(clsid);
}

STDMETHODIMP Wheel::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    return S_OK;   // the control keeps its own size, whatever is asked
}

STDMETHODIMP Wheel::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    size->cx = taillehimetric;
    size->cy = taillehimetric;
    return S_OK;
}

STDMETHODIMP Wheel::Advise(IAdviseSink* sink, DWORD* cookie)
{
    if (!avis_ && FAILED(CreateOleAdviseHolder(avis_.put())))
        return E_OUTOFMEMORY;
    return avis_->Advise(sink, cookie);
}

STDMETHODIMP Wheel::Unadvise(DWORD cookie)
{
    return avis_ ? avis_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP Wheel::EnumAdvise(IEnumSTATDATA** e)
{
    if (!e)
        return E_POINTER;
    *e = nullptr;
    // An enumerator, empty until a sink is advised, as the platform's holder gives one.
    if (!avis_ && FAILED(CreateOleAdviseHolder(avis_.put())))
        return E_OUTOFMEMORY;
    return avis_->EnumAdvise(e);
}

STDMETHODIMP Wheel::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = miscstatus;
    return S_OK;
}

STDMETHODIMP Wheel::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Wheel;
    return S_OK;
}

STDMETHODIMP Wheel::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

STDMETHODIMP Wheel::GetClassInfo(ITypeInfo** ti)
{
    return typeinfo(CLSID_Wheel, ti);
}

STDMETHODIMP Wheel::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID___Wheel;
    return S_OK;
}

STDMETHODIMP Wheel::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                         BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    bool utilisateur = true;
    if (FAILED(modeutilisateur(utilisateur)) || utilisateur)
        return S_OK;
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&typeinfo), &module);
    HICON face = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0));
    if (!face)
        return HRESULT_FROM_WIN32(GetLastError());
    DrawIconEx(dc, bounds->left, bounds->top, face, 32, 32, 0, nullptr, DI_NORMAL);
    DestroyIcon(face);
    return S_OK;
}

STDMETHODIMP Wheel::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    aspectsvue_ = aspects;
    drapeauxvue_ = flags;
    vue_ = ComRef<IAdviseSink>(sink);
    return S_OK;
}

STDMETHODIMP Wheel::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = aspectsvue_;
    if (flags)
        *flags = drapeauxvue_;
    if (sink) {
        *sink = vue_.get();
        if (*sink)
            (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP Wheel::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == IID__Wheel || riid == IID_IDispatch ? S_OK : S_FALSE;
}

}  // namespace rotelle
