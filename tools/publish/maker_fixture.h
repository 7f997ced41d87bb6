// The maker of the publishing tool's signed tests: keys of ids 1 to 3 made for the test, a
// release of one file and the tree it is published into, in a folder removed afterwards.
#pragma once

#include "publish.h"
#include "signing.h"
#include "tree_files.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace maker {

using namespace tidewell::signature;
namespace fs = std::filesystem;

// A new key of the given curve, written as PEM; its file name.
inline std::string nouvellecle(const char* courbe, const fs::path& dossier, const std::string& nom = "")
{
    EVP_PKEY* k = EVP_EC_gen(courbe);
    const fs::path chemin = dossier / (std::string(courbe) + nom + ".pem");
    FILE* f = std::fopen(chemin.c_str(), "wb");
    PEM_write_PrivateKey(f, k, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
    EVP_PKEY_free(k);
    return chemin.string();
}

class Signing : public ::testing::Test {
protected:
    fs::path dossier = fs::temp_directory_path() / ("tidewell-signing-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dossier); }
    void TearDown() override { fs::remove_all(dossier); }
};

// A maker with keys of ids 1 to 3 and a published tree of one file.
class Maker : public Signing {
protected:
    fs::path release = dossier / "release", arbre = dossier / "Abacor";
    CleSignature cles[4];
    void SetUp() override
    {
        Signing::SetUp();
        fs::create_directories(release);
        ecrit(release / "Prog.exe", std::string(70000, 'p'));
        for (int id = 1; id <= 3; ++id) {
            std::string erreur;
            cles[id] = chargecle(nouvellecle("prime256v1", dossier, std::to_string(id)), erreur);
            ASSERT_TRUE(cles[id]) << erreur;
        }
    }
    // Signing with key `id`, which knows its own public key and, at a rotation, key `avant`'s.
    tidewell::publication::Signataire signataire(int id, std::uint64_t edition = 0, int avant = 0)
    {
        tidewell::publication::Signataire s;
        s.cle = id;
        s.edition = edition;
        s.expire = "2027-12-07";
        s.sha256 = [](const std::string& o) { return sha256(o); };
        s.sha256fichier = [](const fs::path& p) { return sha256fichier(p.string()); };
        s.hachage = [] { return sha256flux(); };
        const Cle* cle = cles[id].get();
        s.signe = [cle](const std::string& o) { return signe(*cle, o); };
        s.connues.push_back({id, clepublique(*cles[id])});
        if (avant)
            s.connues.push_back({avant, clepublique(*cles[avant])});
        s.verifie = [](const std::string& k, const std::string& rs, const std::string& o) { return verifie(k, rs, o); };
        return s;
    }
    std::string publie(const tidewell::publication::Signataire& s, bool sanssignature = false,
                       const fs::path& programme = {})
    {
        tidewell::publication::Release r{release, "5", "", ""};
        r.sanssignature = sanssignature;
        r.programme = programme;
        const auto resultat = tidewell::publication::publie(r, arbre, &s);
        return resultat.erreurs.empty() ? "" : resultat.erreurs.front();
    }
    std::string resigne(const tidewell::publication::Signataire& s)
    {
        const auto resultat = tidewell::publication::resigne(arbre, s);
        return resultat.erreurs.empty() ? "" : resultat.erreurs.front();
    }
    // The tree's files with their contents, to see that a refusal wrote nothing.
    std::string etat()
    {
        std::string tout;
        for (const auto& e : fs::recursive_directory_iterator(arbre))
            if (e.is_regular_file())
                tout += e.path().string() + "=" + lit(e.path()) + ";";
        return tout;
    }
};

}  // namespace maker
