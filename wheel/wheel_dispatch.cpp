// The control described and called by name: IDispatch on the published type library, the
// class information hosts bind events with, and the error information of failed calls.
#include "wheel.h"

#include "identities.h"
#include "module.h"

namespace rotelle {

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

STDMETHODIMP Wheel::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == IID__Wheel || riid == IID_IDispatch ? S_OK : S_FALSE;
}

}  // namespace rotelle
