// Release signatures as the maker's tool makes them, checked by OpenSSL's own verifier: the
// raw r||s form turned back into DER, against the public key the tool prints.
#include "manifest.h"
#include "publish.h"
#include "signing.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

using namespace tidewell::signature;
namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> octets(const std::string& hex)
{
    std::vector<unsigned char> o;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        o.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return o;
}

// A new key of the given curve, written as PEM; its file name.
std::string nouvellecle(const char* courbe, const fs::path& dossier)
{
    EVP_PKEY* k = EVP_EC_gen(courbe);
    const fs::path chemin = dossier / (std::string(courbe) + ".pem");
    FILE* f = std::fopen(chemin.c_str(), "wb");
    PEM_write_PrivateKey(f, k, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
    EVP_PKEY_free(k);
    return chemin.string();
}

// OpenSSL's verdict on an r||s signature of `message` by the public key X||Y.
bool verifie(const std::string& publique, const std::string& rs, const std::string& message)
{
    std::vector<unsigned char> point = octets(publique);
    point.insert(point.begin(), 4);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_utf8_string(bld, OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0);
    OSSL_PARAM_BLD_push_octet_string(bld, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr);
    EVP_PKEY* pub = nullptr;
    if (EVP_PKEY_fromdata_init(pctx) != 1 || EVP_PKEY_fromdata(pctx, &pub, EVP_PKEY_PUBLIC_KEY, params) != 1)
        pub = nullptr;
    const std::vector<unsigned char> brut = octets(rs);
    ECDSA_SIG* sig = ECDSA_SIG_new();
    ECDSA_SIG_set0(sig, BN_bin2bn(brut.data(), 32, nullptr), BN_bin2bn(brut.data() + 32, 32, nullptr));
    unsigned char* der = nullptr;
    const int n = i2d_ECDSA_SIG(sig, &der);
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    const bool bon = pub && n > 0 && EVP_DigestVerifyInit(md, nullptr, EVP_sha256(), nullptr, pub) == 1
                     && EVP_DigestVerify(md, der, static_cast<std::size_t>(n),
                                         reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
    EVP_MD_CTX_free(md);
    OPENSSL_free(der);
    ECDSA_SIG_free(sig);
    EVP_PKEY_free(pub);
    EVP_PKEY_CTX_free(pctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    return bon;
}

class Signing : public ::testing::Test {
protected:
    fs::path dossier = fs::temp_directory_path() / ("tidewell-signing-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dossier); }
    void TearDown() override { fs::remove_all(dossier); }
};

}  // namespace

TEST_F(Signing, OnlyAP256PrivateKeyIsTaken)
{
    std::string erreur;
    EXPECT_FALSE(chargecle(nouvellecle("secp384r1", dossier), erreur));
    EXPECT_NE(erreur.find("P-256"), std::string::npos) << erreur;
    EXPECT_FALSE(chargecle((dossier / "absent.pem").string(), erreur));
    const auto cle = chargecle(nouvellecle("prime256v1", dossier), erreur);
    ASSERT_TRUE(cle) << erreur;
    EXPECT_EQ(clepublique(*cle).size(), 128u);
}

TEST_F(Signing, SignaturesVerifyIndependentlyIncludingNumbersWithLeadingZeros)
{
    std::string erreur;
    const auto cle = chargecle(nouvellecle("prime256v1", dossier), erreur);
    ASSERT_TRUE(cle) << erreur;
    const std::string publique = clepublique(*cle);
    const std::string manifeste = "Format=1\r\nCible=ABACOR\r\n";
    const std::string rs = signe(*cle, manifeste);
    ASSERT_EQ(rs.size(), 128u);
    EXPECT_TRUE(verifie(publique, rs, manifeste));
    EXPECT_FALSE(verifie(publique, rs, manifeste + " "));   // other bytes
    // About one signature in a hundred has r or s below 2^248: its 32 bytes start with zero.
    int zeros = 0;
    for (int i = 0; i < 3000 && zeros < 2; ++i) {
        const std::string m = "release " + std::to_string(i);
        const std::string s = signe(*cle, m);
        ASSERT_EQ(s.size(), 128u) << m;   // never shortened
        if (s.compare(0, 2, "00") == 0 || s.compare(64, 2, "00") == 0) {
            ++zeros;
            EXPECT_TRUE(verifie(publique, s, m)) << s;
        }
    }
    EXPECT_GT(zeros, 0) << "no signature with a leading zero byte in 3000";
    EXPECT_EQ(rsdepuisder(reinterpret_cast<const unsigned char*>("\x30\x02\x02\x00"), 4), "");   // not a signature
}

TEST_F(Signing, ASignedPublicationVerifiesIndependentlyAndItsNumberOnlyGrows)
{
    std::string erreur;
    const auto cle = chargecle(nouvellecle("prime256v1", dossier), erreur);
    ASSERT_TRUE(cle) << erreur;
    const fs::path release = dossier / "release", arbre = dossier / "Abacor";
    fs::create_directories(release);
    std::ofstream(release / "Prog.exe", std::ios::binary) << std::string(70000, 'p');
    tidewell::publication::Signataire s;
    s.cle = 2;
    s.expire = "2027-12-07";
    s.sha256 = [](const std::string& o) { return sha256(o); };
    s.sha256fichier = [](const fs::path& p) { return sha256fichier(p.string()); };
    s.signe = [&cle](const std::string& o) { return signe(*cle, o); };
    const auto lit = [](const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    for (std::uint64_t attendu : {1u, 2u}) {
        const auto r = tidewell::publication::publie({release, "5", "", ""}, arbre, &s);
        ASSERT_TRUE(r.erreurs.empty()) << r.erreurs.front();
        const std::string texte = lit(arbre / tidewell::nommanifeste);
        std::string raison;
        const auto m = tidewell::lecturemanifeste(texte, raison);
        ASSERT_TRUE(m) << raison;
        EXPECT_EQ(m->edition, attendu);
        EXPECT_EQ(m->cible, "ABACOR");
        EXPECT_EQ(m->pages[1].sha256, sha256(lit(arbre / "Listfich.ini")));
        EXPECT_EQ(m->fichiers.at(0).sha256, sha256(std::string(70000, 'p')));
        const auto sig = tidewell::lecturesignature(lit(arbre / tidewell::nomsignature));
        ASSERT_TRUE(sig);
        EXPECT_EQ(sig->cle, 2);
        EXPECT_TRUE(verifie(clepublique(*cle), sig->rs, texte));
    }
    s.edition = 2;   // not above the tree's current number: refused, the tree kept
    EXPECT_FALSE(tidewell::publication::publie({release, "6", "", ""}, arbre, &s).erreurs.empty());
    EXPECT_NE(lit(arbre / tidewell::nommanifeste).find("Edition=2\r\n"), std::string::npos);

    // Signed again with a new expiry: a new number, the same files and update files.
    const std::string liste = lit(arbre / "Listfich.ini"), version = lit(arbre / "Version.ini");
    s.edition = 0;
    s.expire = "2028-01-31";
    const auto r = tidewell::publication::resigne(arbre, s);
    ASSERT_TRUE(r.erreurs.empty()) << r.erreurs.front();
    EXPECT_EQ(r.edition, 3u);
    const std::string texte = lit(arbre / tidewell::nommanifeste);
    EXPECT_NE(texte.find("Edition=3\r\nExpire=2028-01-31\r\n"), std::string::npos);
    EXPECT_TRUE(verifie(clepublique(*cle), tidewell::lecturesignature(lit(arbre / tidewell::nomsignature))->rs, texte));
    EXPECT_EQ(lit(arbre / "Listfich.ini"), liste);
    EXPECT_EQ(lit(arbre / "Version.ini"), version);
    EXPECT_TRUE(lit(arbre / "Maj" / "Prog.exe") == std::string(70000, 'p'));
    // A tree changed since it was signed is not signed again.
    std::ofstream(arbre / "Maj" / "Prog.exe", std::ios::binary) << std::string(70000, 'q');
    EXPECT_FALSE(tidewell::publication::resigne(arbre, s).erreurs.empty());
    EXPECT_EQ(lit(arbre / tidewell::nommanifeste), texte);
}
