#include "signing.h"

#include "text.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace tidewell::signature {

class Cle {
public:
    explicit Cle(EVP_PKEY* k) : cle(k) {}
    ~Cle() { EVP_PKEY_free(cle); }
    EVP_PKEY* cle;
};

void LibereCle::operator()(Cle* c) const
{
    delete c;
}

CleSignature chargecle(const std::string& fichierpem, std::string& erreur)
{
    FILE* f = std::fopen(fichierpem.c_str(), "rb");
    if (!f) {
        erreur = "cannot read the key file " + fichierpem;
        return nullptr;
    }
    EVP_PKEY* k = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    if (!k) {
        erreur = fichierpem + " holds no PEM private key (or one protected by a pass phrase)";
        return nullptr;
    }
    CleSignature cle(new Cle(k));
    char courbe[64] = {};
    if (EVP_PKEY_get_base_id(k) != EVP_PKEY_EC
        || !EVP_PKEY_get_utf8_string_param(k, OSSL_PKEY_PARAM_GROUP_NAME, courbe, sizeof courbe, nullptr)
        || std::string(courbe) != "prime256v1") {
        erreur = fichierpem + " is not an ECDSA key on the P-256 curve (prime256v1)";
        return nullptr;
    }
    return cle;
}

std::string clepublique(const Cle& cle)
{
    // The coordinates themselves: a key file may hold its point in compressed form.
    BIGNUM* x = nullptr;
    BIGNUM* y = nullptr;
    unsigned char point[64];
    const bool lu = EVP_PKEY_get_bn_param(cle.cle, OSSL_PKEY_PARAM_EC_PUB_X, &x) == 1
                    && EVP_PKEY_get_bn_param(cle.cle, OSSL_PKEY_PARAM_EC_PUB_Y, &y) == 1
                    && BN_bn2binpad(x, point, 32) == 32 && BN_bn2binpad(y, point + 32, 32) == 32;
    BN_free(x);
    BN_free(y);
    return lu ? libmaj::hexadepuisoctets(point, 64) : std::string();
}

std::string sha256(const std::string& octets)
{
    unsigned char d[32];
    unsigned int n = 0;
    if (EVP_Digest(octets.data(), octets.size(), d, &n, EVP_sha256(), nullptr) != 1 || n != 32)
        return {};
    return libmaj::hexadepuisoctets(d, 32);
}

std::string sha256fichier(const std::string& chemin)
{
    FILE* f = std::fopen(chemin.c_str(), "rb");
    if (!f)
        return {};
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    bool bon = ctx && EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) == 1;
    std::vector<unsigned char> tampon(1 << 20);
    std::size_t lus = 0;
    while (bon && (lus = std::fread(tampon.data(), 1, tampon.size(), f)) > 0)
        bon = EVP_DigestUpdate(ctx, tampon.data(), lus) == 1;
    bon = bon && !std::ferror(f);
    std::fclose(f);
    unsigned char d[32];
    unsigned int n = 0;
    bon = bon && EVP_DigestFinal_ex(ctx, d, &n) == 1 && n == 32;
    EVP_MD_CTX_free(ctx);
    return bon ? libmaj::hexadepuisoctets(d, 32) : std::string();
}

namespace {

class Sha256Flux : public publication::Hachage {
public:
    Sha256Flux() : ctx_(EVP_MD_CTX_new()) { bon_ = ctx_ && EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) == 1; }
    void ajoute(const char* octets, std::size_t taille) override
    {
        bon_ = bon_ && EVP_DigestUpdate(ctx_.get(), octets, taille) == 1;
    }
    std::string fin() override
    {
        unsigned char d[32];
        unsigned int n = 0;
        return bon_ && EVP_DigestFinal_ex(ctx_.get(), d, &n) == 1 && n == 32 ? libmaj::hexadepuisoctets(d, 32)
                                                                             : std::string();
    }

private:
    struct Libere {
        void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
    };
    std::unique_ptr<EVP_MD_CTX, Libere> ctx_;
    bool bon_ = false;
};

}  // namespace

std::unique_ptr<publication::Hachage> sha256flux()
{
    return std::make_unique<Sha256Flux>();
}

std::string rsdepuisder(const unsigned char* der, std::size_t taille)
{
    const unsigned char* p = der;
    ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(taille));
    if (!sig)
        return {};
    std::string resultat;
    unsigned char rs[64];
    if (p == der + taille && BN_bn2binpad(ECDSA_SIG_get0_r(sig), rs, 32) == 32
        && BN_bn2binpad(ECDSA_SIG_get0_s(sig), rs + 32, 32) == 32)
        resultat = libmaj::hexadepuisoctets(rs, 64);
    ECDSA_SIG_free(sig);
    return resultat;
}

std::string signe(const Cle& cle, const std::string& octets)
{
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    std::vector<unsigned char> der(128);
    std::size_t n = der.size();
    const bool fait = ctx && EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, cle.cle) == 1
                      && EVP_DigestSign(ctx, der.data(), &n, reinterpret_cast<const unsigned char*>(octets.data()),
                                        octets.size()) == 1;
    EVP_MD_CTX_free(ctx);
    return fait ? rsdepuisder(der.data(), n) : std::string();
}

namespace {

template <typename T, void (*libere)(T*)>
struct Libere {
    void operator()(T* p) const { libere(p); }
};
template <typename T, void (*libere)(T*)>
using Possede = std::unique_ptr<T, Libere<T, libere>>;

void libereder(unsigned char* p)
{
    OPENSSL_free(p);
}

// The public key X||Y (128 hexadecimal digits) as an OpenSSL key; null for anything else.
Possede<EVP_PKEY, EVP_PKEY_free> clepubliquedepuis(const std::string& publique)
{
    auto point = libmaj::octetsdepuishexa(publique);
    if (!point || point->size() != 64)
        return nullptr;
    point->insert(point->begin(), 4);   // an uncompressed point
    const Possede<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free> bld(OSSL_PARAM_BLD_new());
    if (!bld || !OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0)
        || !OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, point->data(), point->size()))
        return nullptr;
    const Possede<OSSL_PARAM, OSSL_PARAM_free> params(OSSL_PARAM_BLD_to_param(bld.get()));
    const Possede<EVP_PKEY_CTX, EVP_PKEY_CTX_free> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* cle = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1
        || EVP_PKEY_fromdata(ctx.get(), &cle, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return nullptr;
    return Possede<EVP_PKEY, EVP_PKEY_free>(cle);
}

}  // namespace

bool verifie(const std::string& publique, const std::string& rs, const std::string& octets)
{
    const auto cle = clepubliquedepuis(publique);
    const auto brut = libmaj::octetsdepuishexa(rs);
    if (!cle || !brut || brut->size() != 64)
        return false;
    const Possede<ECDSA_SIG, ECDSA_SIG_free> sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(brut->data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(brut->data() + 32, 32, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return false;
    }
    unsigned char* der = nullptr;
    const int n = i2d_ECDSA_SIG(sig.get(), &der);
    const Possede<unsigned char, libereder> possede(der);
    const Possede<EVP_MD_CTX, EVP_MD_CTX_free> md(EVP_MD_CTX_new());
    return n > 0 && md && EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, cle.get()) == 1
           && EVP_DigestVerify(md.get(), der, static_cast<std::size_t>(n),
                               reinterpret_cast<const unsigned char*>(octets.data()), octets.size()) == 1;
}

}  // namespace tidewell::signature
