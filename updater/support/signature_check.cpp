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

Sha256Parallele::Sha256Parallele(std::size_t taillebloc)
    : tampons_(4, std::vector<char>(taillebloc)), libres_{0, 1, 2, 3},
      travail_(CreateEventA(nullptr, FALSE, FALSE, nullptr)), libere_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    if (sha_.valide() && travail_ && libere_)
        fil_ = std::thread([this] { travaille(); });
}

Sha256Parallele::~Sha256Parallele()
{
    arrete();
}

void Sha256Parallele::travaille()
{
    for (;;) {
        WaitForSingleObject(travail_.get(), INFINITE);
        for (;;) {
            std::pair<std::size_t, std::size_t> bloc;
            {
                std::lock_guard<std::mutex> garde(verrou_);
                if (arret_)
                    return;
                if (pleins_.empty())
                    break;
                bloc = pleins_.front();
                pleins_.pop_front();
            }
            sha_.ajoute(tampons_[bloc.first].data(), bloc.second);
            {
                std::lock_guard<std::mutex> garde(verrou_);
                libres_.push_back(bloc.first);
            }
            SetEvent(libere_.get());
        }
    }
}

void Sha256Parallele::arrete()
{
    if (!fil_.joinable())
        return;
    {
        std::lock_guard<std::mutex> garde(verrou_);
        arret_ = true;
    }
    SetEvent(travail_.get());
    fil_.join();
}

char* Sha256Parallele::tampon()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> garde(verrou_);
            if (!libres_.empty()) {
                courant_ = libres_.back();
                libres_.pop_back();
                return tampons_[courant_].data();
            }
        }
        attendsurmessages(libere_.get(), 1.0);
    }
}

void Sha256Parallele::ajoute(std::size_t taille)
{
    {
        std::lock_guard<std::mutex> garde(verrou_);
        if (taille == 0)
            libres_.push_back(courant_);
        else
            pleins_.emplace_back(courant_, taille);
    }
    SetEvent(travail_.get());
}

std::string Sha256Parallele::fin()
{
    for (;;) {
        {
            std::lock_guard<std::mutex> garde(verrou_);
            if (libres_.size() == tampons_.size())
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
