// Late-bound calls on the container's objects, as a form designer's objects expect them.
#pragma once

#include <oaidl.h>

namespace rotelle {

// Reads a property by name, without arguments (GetIDsOfNames, then a property get), as the
// given type; on failure `valeur` is left empty.
HRESULT litpropriete(IDispatch* objet, const wchar_t* nom, VARTYPE type, VARIANT* valeur);

}  // namespace rotelle
