// The Wheel control: an ActiveX control, invisible at run time, that hooks its host form's
// window and raises WheelRotate(Ctrl, Delta, X, Y) for every mouse-wheel message. The class
// and its state, shared by the files that implement it, one family of interfaces each:
// wheel.cpp (life and the default interface), wheel_dispatch.cpp (dispatch, type and error
// information), wheel_events.cpp (connection point and events), wheel_ole.cpp (OLE object,
// control and in-place), wheel_persist.cpp (saved state), wheel_view.cpp (view).
#pragma once

#include "call_table.h"
#include "com_ref.h"
#include "hook_target.h"

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace rotelle {

class Wheel final : public MethodesAppel,
                    public CibleMolette,
                    public IConnectionPointContainer,
                    public IOleObject,
                    public IOleControl,
                    public IOleInPlaceObject,
                    public IPersistStreamInit,
                    public IPersistPropertyBag,
                    public IProvideClassInfo2,
                    public IViewObject2,
                    public ISupportErrorInfo {
public:
    Wheel();

    // The control's methods, as hosts call them.
    HRESULT About() override;
    HRESULT StopWheel() override;
    HRESULT StartWheel() override;

    // Raised by the hook for each wheel message of the host window.
    HRESULT RaiseWheelRotate(std::int32_t WheelDelta, std::int32_t X, std::int32_t Y) override;

    std::int32_t HostWnd() const { return HostWnd_; }

    // Records the failure as the thread's error information and gives it back.
    HRESULT erreur(HRESULT hr, const wchar_t* description);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch (_Wheel)
    STDMETHODIMP GetTypeInfoCount(UINT* n) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ti) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excepinfo, UINT* argerr) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    // Closing is the container's end of the control (ATL and MFC close, then let go): its own
    // hook ends there, since the table's reference would otherwise keep it for ever.
    STDMETHODIMP Close(DWORD) override
    {
        arretepropre();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override { return S_OK; }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return OLEOBJ_E_NOVERBS; }
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL gele) override;

    // IOleInPlaceObject: the control has no window; in-place activation shows nothing.
    STDMETHODIMP GetWindow(HWND*) override { return E_FAIL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // IPersistStreamInit and IPersistPropertyBag: loading saved state starts the hook;
    // nothing is saved.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(LPSTREAM flux) override { return flux ? charge() : E_POINTER; }
    STDMETHODIMP Save(LPSTREAM, BOOL) override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag* sac, IErrorLog*) override { return sac ? charge() : E_POINTER; }
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return S_OK; }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** ti) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // IViewObject2: in a design environment the control shows its face picture; a running
    // host shows nothing of it.
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE**) override { return E_NOTIMPL; }
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override { return GetExtent(aspect, size); }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    class PointConnexion;
    friend class PointConnexion;
    // The connection point is made and ended where it is defined, with the events.
    static PointConnexion* creepoint(Wheel* controle);
    static void detruitpoint(PointConnexion* point);
    ~Wheel();

    HRESULT modeutilisateur(bool& utilisateur);
    HRESULT formeparente(ComRef<IDispatch>& forme, bool& sansforme);
    HWND fenetreenplace();
    HRESULT charge();
    HRESULT accroche(HWND fenetre, bool parfenetre);
    void arretepropre();

    std::atomic<ULONG> references_{1};
    std::int32_t HostWnd_ = 0;
    bool parfenetre_ = false;   // hooked through the in-place window: no form object to ask
    bool charge_ = false;       // loaded from saved state: started whenever the host runs
    bool demarrage_ = false;    // loaded before the host gave its site: starts once it does
    int gel_ = 0;               // FreezeEvents depth
    ComRef<IOleClientSite> site_;
    ComRef<IOleAdviseHolder> avis_;
    struct Abonne {
        DWORD cookie;
        ComRef<IDispatch> sink;
    };
    std::vector<Abonne> abonnes_;
    DWORD prochaincookie_ = 1;
    PointConnexion* point_;   // owned; lives as long as the control
    VueAppels appels_;        // _Wheel with the published call table
    ComRef<IAdviseSink> vue_;
    DWORD aspectsvue_ = 0, drapeauxvue_ = 0;
};

}  // namespace rotelle
