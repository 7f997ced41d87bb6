// Property reads by name on the container's objects.
#include "automation.h"

namespace rotelle {

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

}  // namespace rotelle
