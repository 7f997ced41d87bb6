// Saved state: loading it starts the hook; nothing is read or saved.
#include "wheel.h"

#include "identities.h"

namespace rotelle {

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

}  // namespace rotelle
