#include "release_signature.h"

#include "files.h"
#include "signature_check.h"
#include "text.h"

#include <cstring>

namespace tidewell {

namespace {

template <std::size_t N>
bool octets(const std::string& hexa, unsigned char (&vers)[N])
{
    const auto o = libmaj::octetsdepuishexa(hexa);
    if (!o || o->size() != N)
        return false;
    std::memcpy(vers, o->data(), N);
    return true;
}

}  // namespace

const CleMaj* clemaj(int id)
{
    for (std::size_t i = 0; i < nombreclesmaj; ++i)
        if (tableclesmaj[i].id == id)
            return &tableclesmaj[i];
    return nullptr;
}

bool signatureverifiee(const CleMaj& cle, const std::string& texte, const std::string& rs)
{
    unsigned char publique[64], digest[32], signature[64];
    return octets(cle.publique, publique) && octets(libmaj::sha256(texte), digest) && octets(rs, signature)
           && libmaj::verifiesignature(publique, digest, signature);
}

}  // namespace tidewell
