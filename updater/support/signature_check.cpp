#include "signature_check.h"

#include "text.h"
#include "wait.h"

#include <cstring>
#include <vector>

namespace libmaj {

namespace {

struct FermeCle {
    void operator()(BCRYPT_KEY_HANDLE h) const { BCryptDestroyKey(h); }
};
using PoigneeCle = std::unique_ptr<void, FermeCle>;

bool reussi(NTSTATUS s)
{
    return s >= 0;
}

Algorithme ouvre(LPCWSTR nom)
{
    BCRYPT_ALG_HANDLE h = nullptr;
    return Algorithme(reussi(BCryptOpenAlgorithmProvider(&h, nom, nullptr, 0)) ? h : nullptr);
}

}  // namespace

Sha256::Sha256() : algorithme_(ouvre(BCRYPT_SHA256_ALGORITHM))
{
    // With no object buffer given, the provider keeps the hash's state itself.
    BCRYPT_HASH_HANDLE h = nullptr;
    if (algorithme_ && reussi(BCryptCreateHash(algorithme_.get(), &h, nullptr, 0, nullptr, 0, 0)))
        empreinte_.reset(h);
}

bool Sha256::ajoute(const void* octets, std::size_t taille)
{
    auto* p = static_cast<PUCHAR>(const_cast<void*>(octets));
    while (empreinte_ && taille > 0) {
        const ULONG part = taille > 0x40000000 ? 0x40000000 : static_cast<ULONG>(taille);
        if (!reussi(BCryptHashData(empreinte_.get(), p, part, 0))) {
            empreinte_.reset();
            break;
        }
        p += part;
        taille -= part;
    }
    return valide();
}

std::string Sha256::fin()
{
    unsigned char digest[32];
    const bool fait = empreinte_ && reussi(BCryptFinishHash(empreinte_.get(), digest, sizeof digest, 0));
    empreinte_.reset();
    return fait ? hexadepuisoctets(digest, sizeof digest) : std::string();
}

std::string sha256(const std::string& octets)
{
    Sha256 h;
    h.ajoute(octets.data(), octets.size());
    return h.fin();
}

namespace {

class Verrou {
public:
    explicit Verrou(SRWLOCK& v) : v_(v) { AcquireSRWLockExclusive(&v_); }
    ~Verrou() { ReleaseSRWLockExclusive(&v_); }
    Verrou(const Verrou&) = delete;
    Verrou& operator=(const Verrou&) = delete;

private:
    SRWLOCK& v_;
};

}  // namespace

Sha256Parallele::Sha256Parallele(std::size_t taillebloc)
    : taillebloc_(taillebloc), tampons_(nombre * taillebloc), travail_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      libere_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    for (std::size_t i = 0; i < nombre; ++i)
        libres_[nombrelibres_++] = i;
    if (sha_.valide() && travail_ && libere_)
        fil_.reset(CreateThread(nullptr, 0, depart, this, 0, nullptr));
}

Sha256Parallele::~Sha256Parallele()
{
    arrete();
}

DWORD WINAPI Sha256Parallele::depart(void* moi)
{
    static_cast<Sha256Parallele*>(moi)->travaille();
    return 0;
}

void Sha256Parallele::travaille()
{
    for (;;) {
        WaitForSingleObject(travail_.get(), INFINITE);
        for (;;) {
            std::size_t bloc, taille;
            {
                Verrou garde(verrou_);
                if (arret_)
                    return;
                if (nombrepleins_ == 0)
                    break;
                bloc = pleins_[premier_];
                taille = tailles_[premier_];
                premier_ = (premier_ + 1) % nombre;
                --nombrepleins_;
            }
            sha_.ajoute(tampons_.data() + bloc * taillebloc_, taille);
            {
                Verrou garde(verrou_);
                libres_[nombrelibres_++] = bloc;
            }
            SetEvent(libere_.get());
        }
    }
}

void Sha256Parallele::arrete()
{
    if (!fil_)
        return;
    {
        Verrou garde(verrou_);
        arret_ = true;
    }
    SetEvent(travail_.get());
    WaitForSingleObject(fil_.get(), INFINITE);
    fil_.reset();
}

char* Sha256Parallele::tampon()
{
    for (;;) {
        {
            Verrou garde(verrou_);
            if (nombrelibres_ > 0) {
                courant_ = libres_[--nombrelibres_];
                return tampons_.data() + courant_ * taillebloc_;
            }
        }
        attendsurmessages(libere_.get(), 1.0);
    }
}

void Sha256Parallele::ajoute(std::size_t taille)
{
    {
        Verrou garde(verrou_);
        if (taille == 0) {
            libres_[nombrelibres_++] = courant_;
        } else {
            const std::size_t place = (premier_ + nombrepleins_++) % nombre;
            pleins_[place] = courant_;
            tailles_[place] = taille;
        }
    }
    SetEvent(travail_.get());
}

std::string Sha256Parallele::fin()
{
    for (;;) {
        {
            Verrou garde(verrou_);
            if (nombrelibres_ == nombre)
                break;
        }
        attendsurmessages(libere_.get(), 1.0);
    }
    arrete();
    return sha_.fin();
}

bool verifiesignature(const unsigned char (&publique)[64], const unsigned char (&digest)[32],
                      const unsigned char (&rs)[64])
{
    const Algorithme ecdsa = ouvre(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa)
        return false;
    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
    const BCRYPT_ECCKEY_BLOB entete = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &entete, sizeof entete);
    std::memcpy(blob + sizeof entete, publique, 64);
    BCRYPT_KEY_HANDLE h = nullptr;
    if (!reussi(BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &h, blob, sizeof blob, 0)))
        return false;
    const PoigneeCle cle(h);
    return BCryptVerifySignature(cle.get(), nullptr, const_cast<PUCHAR>(digest), 32, const_cast<PUCHAR>(rs), 64, 0)
           == 0;
}

}  // namespace libmaj
