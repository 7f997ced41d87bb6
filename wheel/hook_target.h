// What the hook needs of the control it serves: a counted reference and the event. The hook
// knows nothing else of the control.
#pragma once

#include <windows.h>

#include <cstdint>

namespace rotelle {

class CibleMolette {
public:
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    // Raises WheelRotate once for a wheel message of the hooked window.
    virtual HRESULT RaiseWheelRotate(std::int32_t WheelDelta, std::int32_t X, std::int32_t Y) = 0;

protected:
    ~CibleMolette() = default;
};

}  // namespace rotelle
