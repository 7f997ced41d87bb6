// What the library keeps once for the whole process: its count of live objects, its own path
// and the type library it carries as a resource.
#pragma once

#include "com_ref.h"

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <string>

namespace rotelle {

// Objects of the library alive in the process (controls, enumerators, open dialogs), for
// DllCanUnloadNow.
extern std::atomic<long> objetsvivants;

// This module's handle.
HINSTANCE instancemodule();

// The full path of this module, however deep its folder.
HRESULT cheminmodule(std::wstring& chemin);

// The type library that this module carries as its resource, and the module's path.
HRESULT bibliothequemodule(ComRef<ITypeLib>& bibliotheque, std::wstring& chemin);

// The type description of `guid` in the library that this module carries as its resource,
// read once; `oubliebibliotheque` lets the library go before the module is unloaded.
HRESULT typeinfo(REFGUID guid, ITypeInfo** ti);
void oubliebibliotheque();

}  // namespace rotelle
