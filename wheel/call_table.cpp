#include "call_table.h"

#include <array>

namespace rotelle {

namespace {

// C-style COM entries: `this` is the view, as the caller passes it.
HRESULT STDMETHODCALLTYPE vQueryInterface(VueAppels* v, REFIID riid, void** ppv)
{
    return v->controle->QueryInterface(riid, ppv);
}
ULONG STDMETHODCALLTYPE vAddRef(VueAppels* v)
{
    return v->controle->AddRef();
}
ULONG STDMETHODCALLTYPE vRelease(VueAppels* v)
{
    return v->controle->Release();
}
HRESULT STDMETHODCALLTYPE vGetTypeInfoCount(VueAppels* v, UINT* n)
{
    return v->controle->GetTypeInfoCount(n);
}
HRESULT STDMETHODCALLTYPE vGetTypeInfo(VueAppels* v, UINT i, LCID l, ITypeInfo** t)
{
    return v->controle->GetTypeInfo(i, l, t);
}
HRESULT STDMETHODCALLTYPE vGetIDsOfNames(VueAppels* v, REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d)
{
    return v->controle->GetIDsOfNames(r, n, c, l, d);
}
HRESULT STDMETHODCALLTYPE vInvoke(VueAppels* v, DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* res,
                                  EXCEPINFO* e, UINT* a)
{
    return v->controle->Invoke(id, r, l, f, p, res, e, a);
}
HRESULT STDMETHODCALLTYPE vNonFourni(VueAppels*)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE vAbout(VueAppels* v)
{
    return v->controle->About();
}
HRESULT STDMETHODCALLTYPE vStopWheel(VueAppels* v)
{
    return v->controle->StopWheel();
}
HRESULT STDMETHODCALLTYPE vStartWheel(VueAppels* v)
{
    return v->controle->StartWheel();
}

template <class F>
const void* entree(F f)
{
    return reinterpret_cast<const void*>(f);
}

const std::array<const void*, entreesappel>& table()
{
    static const std::array<const void*, entreesappel> t = [] {
        std::array<const void*, entreesappel> a;
        a.fill(entree(&vNonFourni));
        a[0] = entree(&vQueryInterface);
        a[1] = entree(&vAddRef);
        a[2] = entree(&vRelease);
        a[3] = entree(&vGetTypeInfoCount);
        a[4] = entree(&vGetTypeInfo);
        a[5] = entree(&vGetIDsOfNames);
        a[6] = entree(&vInvoke);
        a[entreesappel - 3] = entree(&vAbout);
        a[entreesappel - 2] = entree(&vStopWheel);
        a[entreesappel - 1] = entree(&vStartWheel);
        return a;
    }();
    return t;
}

}  // namespace

void initialisevue(VueAppels& vue, MethodesAppel* controle)
{
    vue.table = table().data();
    vue.controle = controle;
}

}  // namespace rotelle
