// Calls an entry point the way 32-bit Windows code does, arguments pushed right to left and
// removed by the callee, and tells whether the callee left the stack and the registers it must
// keep as it found them. A wrong calling convention or argument count does no visible harm on
// x86_64 and corrupts the caller's frame on i686: only the 32-bit build can show it.
#pragma once

#if !defined(__i386__)
#error "stack checks are for the i686 build"
#endif

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace stackcheck {

// What one call left behind.
struct Appel {
    std::uint32_t resultat = 0;
    std::int32_t derive = 0;        // bytes the stack pointer moved: 0 when the callee was exact
    bool registres = true;          // EBX, ESI and EDI came back unchanged
    bool sain() const { return derive == 0 && registres; }
};

// Calls `entree` with `nombre` 32-bit words (the first is pushed last).
Appel appelle(const void* entree, const std::uint32_t* mots, std::uint32_t nombre);

// One argument as the word that a 32-bit caller pushes for a parameter of type P.
template <class P, class A>
std::uint32_t mot(A&& a)
{
    if constexpr (std::is_reference_v<P>) {
        std::remove_reference_t<P>& r = a;
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&r));
    } else {
        // Smaller parameters still take a whole slot; nothing here passes more than one.
        static_assert(sizeof(P) <= 4, "every parameter here is one 32-bit word");
        const P v = std::forward<A>(a);
        std::uint32_t w = 0;
        std::memcpy(&w, &v, sizeof v);
        return w;
    }
}

// The call-table slot of a virtual method, from its member pointer (the C++ ABI stores one more
// than the slot's byte offset for a virtual method).
template <class M>
int slot(M methode)
{
    static_assert(sizeof(M) == 2 * sizeof(void*));
    std::uintptr_t mots[2];
    std::memcpy(mots, &methode, sizeof mots);
    return static_cast<int>((mots[0] - 1) / sizeof(void*));
}

// Calls method `m` of interface I on `objet` through the object's own call table, with the
// parameter list that the platform's header declares for it.
template <class I, class C, class R, class... P, class... A>
Appel methode(I* objet, R(__stdcall C::*m)(P...), A&&... args)
{
    static_assert(sizeof...(P) == sizeof...(A));
    C* base = objet;   // the interface that declares the method
    const std::uint32_t mots[] = {static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(base)),
                                  mot<P>(std::forward<A>(args))...};
    const void* entree = (*reinterpret_cast<void* const* const*>(base))[slot(m)];
    return appelle(entree, mots, sizeof...(P) + 1);
}

// Calls a plain __stdcall function through a pointer of its declared type.
template <class R, class... P, class... A>
Appel fonction(R(__stdcall* f)(P...), A&&... args)
{
    static_assert(sizeof...(P) == sizeof...(A));
    const std::uint32_t mots[] = {0, mot<P>(std::forward<A>(args))...};
    return appelle(reinterpret_cast<const void*>(f), mots + 1, sizeof...(P));
}

// "derive 4, registers kept" and the like, for failure messages.
std::string decrit(const Appel& a);

}  // namespace stackcheck
