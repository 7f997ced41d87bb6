// One counted reference to a COM object (or to anything with AddRef and Release), and the
// QueryInterface of an object with a single interface.
#pragma once

#include <unknwn.h>

#include <utility>

namespace rotelle {

// Gives `self` as interface `I` for IUnknown and `iid`, with a reference taken.
template <class I>
HRESULT interfaceunique(I* self, REFIID riid, REFIID iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == iid) {
        *ppv = self;
        self->AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

template <class T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* p) : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    ComRef(const ComRef& o) : ComRef(o.p_) {}
    ComRef(ComRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComRef& operator=(ComRef o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComRef()
    {
        if (p_)
            p_->Release();
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put()
    {
        *this = ComRef();
        return &p_;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

}  // namespace rotelle
