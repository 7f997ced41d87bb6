// How the control shows itself: its face picture in a design environment, nothing in a
// running host; the view's advise sink.
#include "wheel.h"

#include "module.h"

namespace rotelle {

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
    HICON face = static_cast<HICON>(LoadImageA(instancemodule(), MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, 0));
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

}  // namespace rotelle
