// The Wheel control's life and its default interface: creation and the last release, the
// three methods hosts call (About, StopWheel, StartWheel), and how the control finds its
// form through its container.
#include "wheel.h"

#include "automation.h"
#include "identities.h"
#include "modhook.h"
#include "module.h"
#include "thread_state.h"

#include <new>

namespace rotelle {

Wheel::Wheel() : point_(creepoint(this))
{
    initialisevue(appels_, this);
    ++objetsvivants;
}

Wheel::~Wheel()
{
    detruitpoint(point_);
    --objetsvivants;
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
        hr = dialoguethread().Show();
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
    const wchar_t* pourquoi = L"Out of memory";
    try {
        hr = HookWindow(fenetre, this, &pourquoi);
    } catch (const std::bad_alloc&) {
    }
    if (FAILED(hr))
        return erreur(hr, pourquoi);   // the hook it had, if any, is as it was
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

}  // namespace rotelle
