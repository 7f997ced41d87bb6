// The control in its container: the client site, extent and misc status, advise sinks,
// ambient property changes and frozen events (the rest of IOleObject, IOleControl and
// IOleInPlaceObject is answered in the class itself).
#include "wheel.h"

#include "identities.h"

#include <algorithm>

namespace rotelle {

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

}  // namespace rotelle
