// Ownership of COM objects and of COM itself for the length of a call.
#pragma once

#include <objbase.h>

namespace libmaj {

// Holds one counted reference and releases it at the end of the scope.
template <class I>
struct Com {
    I* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com()
    {
        if (p)
            p->Release();
    }
    I* operator->() const { return p; }
};

// COM entered on this thread for the scope, when the thread had not entered it already.
class ApartementCom {
public:
    ApartementCom() : init_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ApartementCom()
    {
        if (SUCCEEDED(init_))
            CoUninitialize();
    }
    ApartementCom(const ApartementCom&) = delete;
    ApartementCom& operator=(const ApartementCom&) = delete;

private:
    HRESULT init_;
};

}  // namespace libmaj
