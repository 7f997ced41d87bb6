// The platform's cryptography (CNG) for signed releases: SHA-256 of what arrives, and the
// ECDSA P-256 verification of a manifest's signature. Nothing here is written by hand.
#pragma once

#include "handles.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace libmaj {

struct FermeAlgorithme {
    void operator()(BCRYPT_ALG_HANDLE h) const { BCryptCloseAlgorithmProvider(h, 0); }
};
struct FermeEmpreinte {
    void operator()(BCRYPT_HASH_HANDLE h) const { BCryptDestroyHash(h); }
};
using Algorithme = std::unique_ptr<void, FermeAlgorithme>;
using PoigneeEmpreinte = std::unique_ptr<void, FermeEmpreinte>;

// A SHA-256 computed as the bytes come. BCryptHash alone would need a later Windows.
class Sha256 {
public:
    Sha256();
    bool valide() const { return static_cast<bool>(empreinte_); }
    bool ajoute(const void* octets, std::size_t taille);
    // The digest in 64 lower-case hexadecimal digits; empty on failure. Ends the hash.
    std::string fin();

private:
    Algorithme algorithme_;
    PoigneeEmpreinte empreinte_;
};

std::string sha256(const std::string& octets);

// A SHA-256 computed on a thread of its own, so that hashing a download overlaps receiving
// it: the receiving thread takes an empty buffer, fills it and hands it over. It waits for a
// buffer (handling its messages) only when the hash has fallen behind.
class Sha256Parallele {
public:
    explicit Sha256Parallele(std::size_t taillebloc);
    ~Sha256Parallele();
    Sha256Parallele(const Sha256Parallele&) = delete;
    Sha256Parallele& operator=(const Sha256Parallele&) = delete;
    bool valide() const { return static_cast<bool>(fil_); }
    // An empty buffer of `taillebloc` bytes; then ajoute() with what was put in it.
    char* tampon();
    void ajoute(std::size_t taille);
    // The digest of every block handed over, as Sha256::fin gives it.
    std::string fin();

private:
    static DWORD WINAPI depart(void* moi);
    void travaille();
    void arrete();

    static constexpr std::size_t nombre = 4;

    Sha256 sha_;
    std::size_t taillebloc_;
    std::vector<char> tampons_;   // `nombre` buffers of `taillebloc_` bytes, end to end
    // Under verrou_: the buffers waiting to be hashed, oldest first, with their sizes, and
    // the free ones.
    SRWLOCK verrou_ = SRWLOCK_INIT;
    std::size_t pleins_[nombre] = {}, tailles_[nombre] = {}, premier_ = 0, nombrepleins_ = 0;
    std::size_t libres_[nombre] = {}, nombrelibres_ = 0;
    bool arret_ = false;
    std::size_t courant_ = 0;   // the buffer the receiving thread fills
    Poignee travail_, libere_, fil_;
};

// True when `rs` (r then s, 32 bytes each) signs the SHA-256 `digest` under the P-256 public
// key `publique` (X then Y, 32 bytes each).
bool verifiesignature(const unsigned char (&publique)[64], const unsigned char (&digest)[32],
                      const unsigned char (&rs)[64]);

}  // namespace libmaj
