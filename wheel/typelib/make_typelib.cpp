// Writes RotelleCV's type library, as host applications are built against it:
//   make_typelib OUTPUT.tlb win32|win64
// Library RotelleCV 1.0 (locale 0x409, control library) importing stdole2 for IDispatch, with
// three type descriptions in this order: _Wheel (dual, 0x11D0; About, StopWheel, StartWheel at
// the last three slots of a 492-entry call table), Wheel (coclass, control), __Wheel (source
// dispinterface, 0x1090; WheelRotate id 1 with four by-reference arguments). The IDL compiler
// can express neither the flags of a dispinterface nor call-table offsets, hence this program.
#include "identities.h"

#include <oaidl.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

template <class I>
struct Com {
    I* p = nullptr;
    ~Com()
    {
        if (p)
            p->Release();
    }
    I* operator->() const { return p; }
};

bool ok(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        std::fprintf(stderr, "make_typelib: %s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

constexpr int entreesdetable = 492;

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "win32") != 0 && std::strcmp(argv[2], "win64") != 0)) {
        std::fprintf(stderr, "usage: make_typelib OUTPUT.tlb win32|win64\n");
        return 2;
    }
    const bool win32 = std::strcmp(argv[2], "win32") == 0;
    const SHORT pointeur = win32 ? 4 : 8;
    std::wstring chemin(argv[1], argv[1] + std::strlen(argv[1]));
    CoInitialize(nullptr);
    using namespace rotelle;

    Com<ICreateTypeLib2> lib;
    Com<ITypeLib> stdole;
    Com<ITypeInfo> idispatch;
    if (!ok(CreateTypeLib2(win32 ? SYS_WIN32 : SYS_WIN64, chemin.c_str(), &lib.p), "CreateTypeLib2")
        || !ok(LoadRegTypeLib(IID_StdOle, 2, 0, 0, &stdole.p), "loading stdole2")
        || !ok(stdole->GetTypeInfoOfGuid(IID_IDispatch, &idispatch.p), "IDispatch's type information"))
        return 1;
    lib->SetName(const_cast<LPOLESTR>(L"RotelleCV"));
    lib->SetDocString(const_cast<LPOLESTR>(L"RotelleCV"));
    lib->SetGuid(LIBID_RotelleCV);
    lib->SetVersion(1, 0);
    lib->SetLcid(0x409);
    lib->SetLibFlags(LIBFLAG_FCONTROL);

    // The three descriptions, made first so that they can refer to each other.
    Com<ICreateTypeInfo> interfaceWheel, classe, evenements;
    if (!ok(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"_Wheel"), TKIND_INTERFACE, &interfaceWheel.p), "_Wheel")
        || !ok(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"Wheel"), TKIND_COCLASS, &classe.p), "Wheel")
        || !ok(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"__Wheel"), TKIND_DISPATCH, &evenements.p), "__Wheel"))
        return 1;

    // _Wheel: dual, derived from IDispatch; the three methods take the last three slots.
    {
        HREFTYPE base;
        interfaceWheel->SetGuid(IID__Wheel);
        interfaceWheel->SetVersion(1, 0);
        if (!ok(interfaceWheel->AddRefTypeInfo(idispatch.p, &base), "referring to IDispatch")
            || !ok(interfaceWheel->AddImplType(0, base), "deriving _Wheel"))
            return 1;
        const struct {
            const wchar_t* nom;
            MEMBERID id;
        } methodes[] = {{L"About", DISPID_About}, {L"StopWheel", DISPID_StopWheel}, {L"StartWheel", DISPID_StartWheel}};
        for (UINT i = 0; i < 3; ++i) {
            FUNCDESC f = {};
            f.memid = methodes[i].id;
            f.funckind = FUNC_PUREVIRTUAL;
            f.invkind = INVOKE_FUNC;
            f.callconv = CC_STDCALL;
            f.oVft = static_cast<SHORT>((entreesdetable - 3 + static_cast<int>(i)) * pointeur);
            f.elemdescFunc.tdesc.vt = VT_HRESULT;
            LPOLESTR nom = const_cast<LPOLESTR>(methodes[i].nom);
            if (!ok(interfaceWheel->AddFuncDesc(i, &f), "a method of _Wheel")
                || !ok(interfaceWheel->SetFuncAndParamNames(i, &nom, 1), "a method's name"))
                return 1;
        }
        if (!ok(interfaceWheel->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE
                                             | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
                "_Wheel's flags"))
            return 1;
    }

    // __Wheel: the event WheelRotate(Ctrl, Delta, X, Y), each argument by reference.
    {
        evenements->SetGuid(DIID___Wheel);
        evenements->SetVersion(1, 0);
        HREFTYPE base;
        if (!ok(evenements->AddRefTypeInfo(idispatch.p, &base), "referring to IDispatch")
            || !ok(evenements->AddImplType(0, base), "deriving __Wheel"))
            return 1;
        TYPEDESC objet = {};
        objet.vt = VT_DISPATCH;
        TYPEDESC entier = {};
        entier.vt = VT_I4;
        ELEMDESC parametres[4] = {};
        for (int i = 0; i < 4; ++i) {
            parametres[i].tdesc.vt = VT_PTR;
            parametres[i].tdesc.lptdesc = i == 0 ? &objet : &entier;
            parametres[i].paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOUT;
        }
        FUNCDESC f = {};
        f.memid = DISPID_WheelRotate;
        f.funckind = FUNC_DISPATCH;
        f.invkind = INVOKE_FUNC;
        f.callconv = CC_STDCALL;
        f.cParams = 4;
        f.lprgelemdescParam = parametres;
        f.elemdescFunc.tdesc.vt = VT_VOID;
        LPOLESTR noms[] = {const_cast<LPOLESTR>(L"WheelRotate"), const_cast<LPOLESTR>(L"Ctrl"),
                           const_cast<LPOLESTR>(L"Delta"), const_cast<LPOLESTR>(L"X"), const_cast<LPOLESTR>(L"Y")};
        if (!ok(evenements->AddFuncDesc(0, &f), "WheelRotate")
            || !ok(evenements->SetFuncAndParamNames(0, noms, 5), "WheelRotate's names")
            || !ok(evenements->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE),
                   "__Wheel's flags"))
            return 1;
    }

    // Wheel: _Wheel by default, __Wheel as default source. Its flags go last: adding the
    // interfaces would change them.
    {
        classe->SetGuid(CLSID_Wheel);
        classe->SetVersion(1, 0);
        Com<ITypeInfo> infoInterface, infoEvenements;
        interfaceWheel->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&infoInterface.p));
        evenements->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&infoEvenements.p));
        HREFTYPE refInterface, refEvenements;
        if (!ok(classe->AddRefTypeInfo(infoInterface.p, &refInterface), "referring to _Wheel")
            || !ok(classe->AddRefTypeInfo(infoEvenements.p, &refEvenements), "referring to __Wheel")
            || !ok(classe->AddImplType(0, refInterface), "Wheel implements _Wheel")
            || !ok(classe->AddImplType(1, refEvenements), "Wheel raises __Wheel")
            || !ok(classe->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "default interface")
            || !ok(classe->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE), "default source")
            || !ok(classe->SetTypeFlags(TYPEFLAG_FCONTROL), "Wheel's flags"))
            return 1;
    }

    for (ICreateTypeInfo* t : {interfaceWheel.p, evenements.p, classe.p})
        if (!ok(t->LayOut(), "laying out"))
            return 1;
    if (!ok(lib->SaveAllChanges(), "saving"))
        return 1;
    CoUninitialize();
    return 0;
}
