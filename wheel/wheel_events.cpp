// The control's events: its one connection point for __Wheel, the enumerators of points and
// connections, and WheelRotate raised to the connected sinks.
#include "wheel.h"

#include "automation.h"
#include "identities.h"
#include "module.h"
#include "wheel_message.h"

#include <algorithm>
#include <new>

namespace rotelle {

class Wheel::PointConnexion final : public IConnectionPoint {
public:
    explicit PointConnexion(Wheel* controle) : controle_(controle) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        return interfaceunique(static_cast<IConnectionPoint*>(this), riid, IID_IConnectionPoint, ppv);
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

// Hands out what `nouveau` makes, or says there was no memory for it.
template <class I, class F>
HRESULT donne(I** e, F nouveau)
{
    if (!e)
        return E_POINTER;
    *e = nullptr;
    try {
        *e = nouveau();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

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
        return interfaceunique(static_cast<IEnum*>(this), riid, iid, ppv);
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
        return donne(e, [this] { return new Enumeration(elements_, position_); });
    }

private:
    std::atomic<ULONG> references_{1};
    std::vector<T> elements_;
    std::size_t position_;
};

using Connexions = Enumeration<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;
using PointsConnexion = Enumeration<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;

}  // namespace

Wheel::PointConnexion* Wheel::creepoint(Wheel* controle)
{
    return new PointConnexion(controle);
}

void Wheel::detruitpoint(PointConnexion* point)
{
    delete point;
}

STDMETHODIMP Wheel::PointConnexion::EnumConnections(IEnumConnections** e)
{
    return donne(e, [this] {
        std::vector<CONNECTDATA> donnees;
        for (const auto& a : controle_->abonnes_)
            donnees.push_back({a.sink.get(), a.cookie});
        return new Connexions(std::move(donnees));
    });
}

STDMETHODIMP Wheel::EnumConnectionPoints(IEnumConnectionPoints** e)
{
    return donne(e, [this] { return new PointsConnexion({point_}); });
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

}  // namespace rotelle
