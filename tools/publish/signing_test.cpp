// Release signatures as the maker's tool makes them, checked by OpenSSL's own verifier (the
// raw r||s form turned back into DER, against the public key the tool prints), and the tool's
// refusal of a tree that is not what it signed.
#include "forms.h"
#include "manifest.h"
#include "publish.h"
#include "tree_files.h"
#include "zstd_forms.h"
#include "release_check.h"
#include "signing.h"
#include "maker_fixture.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

using namespace tidewell::signature;
namespace fs = std::filesystem;
using maker::Maker;
using maker::Signing;
using maker::nouvellecle;


TEST_F(Signing, OnlyAP256PrivateKeyIsTaken)
{
    std::string erreur;
    EXPECT_FALSE(chargecle(nouvellecle("secp384r1", dossier), erreur));
    EXPECT_NE(erreur.find("P-256"), std::string::npos) << erreur;
    EXPECT_FALSE(chargecle((dossier / "absent.pem").string(), erreur));
    const std::string pem = nouvellecle("prime256v1", dossier);
    const auto cle = chargecle(pem, erreur);
    ASSERT_TRUE(cle) << erreur;
    EXPECT_EQ(clepublique(*cle).size(), 128u);
    // The same key with its point written compressed gives the same public key.
    FILE* f = std::fopen(pem.c_str(), "rb");
    EVP_PKEY* k = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    EVP_PKEY_set_utf8_string_param(k, OSSL_PKEY_PARAM_EC_POINT_CONVERSION_FORMAT, "compressed");
    const std::string compresse = (dossier / "compressed.pem").string();
    f = std::fopen(compresse.c_str(), "wb");
    PEM_write_PrivateKey(f, k, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
    EVP_PKEY_free(k);
    const auto meme = chargecle(compresse, erreur);
    ASSERT_TRUE(meme) << erreur;
    EXPECT_EQ(clepublique(*meme), clepublique(*cle));
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


TEST_F(Maker, ASignedPublicationVerifiesIndependentlyAndItsNumberOnlyGrows)
{
    // A new tree says nothing of the numbers already published: the first one is given.
    EXPECT_NE(publie(signataire(2)).find("give --release-number"), std::string::npos);
    EXPECT_FALSE(fs::exists(arbre));
    for (std::uint64_t attendu : {1u, 2u}) {
        ASSERT_EQ(publie(signataire(2, attendu == 1 ? 1 : 0)), "");
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
        EXPECT_TRUE(verifie(clepublique(*cles[2]), sig->rs, texte));
        EXPECT_FALSE(verifie(clepublique(*cles[1]), sig->rs, texte));
    }
    EXPECT_NE(publie(signataire(2, 2)), "");   // not above the tree's current number: refused, the tree kept
    EXPECT_NE(lit(arbre / tidewell::nommanifeste).find("Edition=2\r\n"), std::string::npos);

    // Signed again with a new expiry: a new number, the same files and update files.
    const std::string liste = lit(arbre / "Listfich.ini"), version = lit(arbre / "Version.ini");
    auto s = signataire(2);
    s.expire = "2028-01-31";
    ASSERT_EQ(resigne(s), "");
    const std::string texte = lit(arbre / tidewell::nommanifeste);
    EXPECT_NE(texte.find("Edition=3\r\nExpire=2028-01-31\r\n"), std::string::npos);
    EXPECT_TRUE(verifie(clepublique(*cles[2]), tidewell::lecturesignature(lit(arbre / tidewell::nomsignature))->rs, texte));
    EXPECT_EQ(lit(arbre / "Listfich.ini"), liste);
    EXPECT_EQ(lit(arbre / "Version.ini"), version);
    EXPECT_TRUE(lit(arbre / "Maj" / "Prog.exe") == std::string(70000, 'p'));
}

// Whoever can write the server's tree cannot get it signed: a tree that is not what its
// manifest signed, or whose manifest does not verify with a key the maker names, is neither
// signed again nor published over, and nothing is written.
TEST_F(Maker, ATreeChangedSinceItWasSignedIsRefusedAndNothingIsWritten)
{
    struct Cas {
        const char* quoi;
        std::function<void()> change;
        const char* dit;
    };
    const std::string autre(70001, 'm');
    // The manifest changed, then signed again with the maker's own key.
    const auto changesigne = [&](const std::string& avant, const std::string& apres) {
        std::string m = lit(arbre / tidewell::nommanifeste);
        m.replace(m.find(avant), avant.size(), apres);
        ecrit(arbre / tidewell::nommanifeste, m);
        ecrit(arbre / tidewell::nomsignature, tidewell::ecritsignature({1, signe(*cles[1], m)}));
    };
    const std::vector<Cas> cas = {
        {"a file replaced", [&] { ecrit(arbre / "Maj" / "Prog.exe", std::string(70000, 'q')); },
         "Maj/Prog.exe is 70000 bytes of SHA-256"},
        {"a file replaced and its size and hash written into the manifest",
         [&] {
             ecrit(arbre / "Maj" / "Prog.exe", autre);
             std::string m = lit(arbre / tidewell::nommanifeste);
             const std::string avant = "Prog.exe;70000;" + sha256(std::string(70000, 'p'));
             m.replace(m.find(avant), avant.size(), "Prog.exe;70001;" + sha256(autre));
             ecrit(arbre / tidewell::nommanifeste, m);
         },
         "does not verify with key 1"},
        {"an update file changed", [&] { ecrit(arbre / "Version.ini", "[Version]\r\nVersion=6\r\n"); },
         "Version.ini is"},
        {"a file gone", [&] { fs::remove(arbre / "Maj" / "Prog.exe"); }, "Maj/Prog.exe is missing"},
        {"the signature gone", [&] { fs::remove(arbre / tidewell::nomsignature); }, "Signature.ini is missing"},
        {"signed by a key the maker did not name",
         [&] {
             const std::string m = lit(arbre / tidewell::nommanifeste);
             ecrit(arbre / tidewell::nomsignature, tidewell::ecritsignature({3, signe(*cles[3], m)}));
         },
         "signed by key 3"},
        {"another application's signed tree copied in", [&] { changesigne("Cible=ABACOR", "Cible=QUILLON"); },
         "is QUILLON's"},
        {"a number that would freeze every copy, signed by the maker's key",
         [&] { changesigne("Edition=1\r\n", "Edition=18446744073709551614\r\n"); }, "cannot be read (M11)"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.quoi);
        fs::remove_all(dossier / "Abacor");
        ASSERT_EQ(publie(signataire(1, 1)), "");
        c.change();
        const std::string avant = etat();
        for (const std::string& refus : {resigne(signataire(1)), publie(signataire(1))}) {
            EXPECT_NE(refus.find(c.dit), std::string::npos) << refus;
            EXPECT_NE(refus.find("cannot be trusted"), std::string::npos) << refus;
        }
        EXPECT_EQ(etat(), avant);
    }
}

// Numbers that cannot be reset or run out, and keys whose ids only rise.
TEST_F(Maker, NumbersNeverRestartOrRunOutAndKeyIdsNeverFall)
{
    ASSERT_EQ(publie(signataire(2, 999999998)), "");
    ASSERT_EQ(publie(signataire(2)), "");   // the highest
    EXPECT_NE(resigne(signataire(2)).find("above the highest, 999999999"), std::string::npos);
    EXPECT_NE(publie(signataire(2, 1000000000)).find("above the highest"), std::string::npos);

    fs::remove_all(dossier / "Abacor");
    ASSERT_EQ(publie(signataire(2, 7)), "");
    EXPECT_NE(publie(signataire(2, 1008)).find("more than 1000 above"), std::string::npos);   // a slip
    // An older key, even one the maker names, would be refused by every copy that installed 7.
    EXPECT_NE(publie(signataire(1, 0, 2)).find("key id 1 is below the id 2"), std::string::npos);
    // The next key takes over only with the current one named.
    EXPECT_NE(publie(signataire(3)).find("signed by key 2"), std::string::npos);
    ASSERT_EQ(resigne(signataire(3, 0, 2)), "");
    EXPECT_NE(lit(arbre / tidewell::nommanifeste).find("Edition=8\r\n"), std::string::npos);

    // Unsigned over a signed tree only when the maker says so; numbering then starts again
    // only from a number given.
    const std::string avant = etat();
    const auto sanscle = tidewell::publication::publie({release, "5", "", ""}, arbre);
    ASSERT_FALSE(sanscle.erreurs.empty());
    EXPECT_NE(sanscle.erreurs.front().find("--unsigned"), std::string::npos);
    EXPECT_EQ(etat(), avant);
    tidewell::publication::Release r{release, "5", "", ""};
    r.sanssignature = true;
    ASSERT_TRUE(tidewell::publication::publie(r, arbre).erreurs.empty());
    EXPECT_FALSE(fs::exists(arbre / tidewell::nommanifeste));
    EXPECT_NE(publie(signataire(3)).find("give --release-number"), std::string::npos);
    EXPECT_EQ(publie(signataire(3, 9)), "");
    EXPECT_EQ(publie(signataire(3, 1009)), "");   // exactly a thousand above is no slip
}

// Every character the name rule lets through comes back from the manifest and the list as
// the updater reads them, and the two agree.
TEST_F(Maker, EveryCharacterANameMayHoldIsReadBackExactly)
{
    const std::vector<std::string> noms = {"Az09._-+~()!$&',;=@.dat", "a;b;1.dat", ";", "x;;;y"};
    for (const auto& nom : noms)
        ecrit(release / nom, nom);
    ASSERT_EQ(publie(signataire(1, 1)), "");
    std::string raison;
    const auto m = tidewell::lecturemanifeste(lit(arbre / tidewell::nommanifeste), raison);
    ASSERT_TRUE(m) << raison;
    const tidewell::ListeFichiers liste = tidewell::lectureliste(lit(arbre / "Listfich.ini"));
    EXPECT_TRUE(tidewell::listeconforme(*m, liste));
    std::vector<std::string> lus;
    for (const auto& f : m->fichiers) {
        lus.push_back(f.nom);
        EXPECT_EQ(f.sha256, sha256(f.nom == "Prog.exe" ? std::string(70000, 'p') : f.nom)) << f.nom;
    }
    auto attendus = noms;
    attendus.push_back("Prog.exe");
    std::sort(attendus.begin(), attendus.end());
    EXPECT_EQ(lus, attendus);
}

// Each signed publication offers each file compressed and as deltas from its versions in the
// last releases, every form decoding to the file it stands for, listed in a file bound to the
// release and signed with its key; the manifest, its signature, the update files and Maj/ keep
// the form every signed updater already reads.
TEST_F(Maker, TheCheaperFormsDecodeToTheirFilesAndBelongToTheirReleaseAlone)
{
    std::string lib(300000, '\0');
    unsigned x = 1;
    for (auto& c : lib)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
    ecrit(release / "Lib.dll", lib);
    ASSERT_EQ(publie(signataire(1, 1)), "");
    std::vector<std::string> versions = {lib};
    for (int n = 2; n <= 5; ++n) {
        lib.replace(static_cast<std::size_t>(n) * 1000, 4, "v" + std::to_string(n) + "!!");
        versions.push_back(lib);
        ecrit(release / "Lib.dll", lib);
        auto s = signataire(1);
        s.deltas = 2;
        ASSERT_EQ(publie(s), "");
    }
    const std::string manifeste = lit(arbre / tidewell::nommanifeste), liste = lit(arbre / tidewell::nomformes);
    std::string raison;
    const auto m = tidewell::lecturemanifeste(manifeste, raison);
    ASSERT_TRUE(m) << raison;
    const auto sig = tidewell::lecturesignature(lit(arbre / tidewell::nomsignatureformes));
    ASSERT_TRUE(sig);
    EXPECT_TRUE(verifie(clepublique(*cles[1]), sig->rs, liste));
    const auto formes = tidewell::lectureformes(liste, *m, sha256(manifeste));
    ASSERT_TRUE(formes) << liste;
    // Lib.dll: deltas from the last two releases only, each from the bytes it names.
    const auto& l = formes->fichiers.at(0);
    ASSERT_EQ(m->fichiers[0].nom, "Lib.dll");
    EXPECT_FALSE(l.compresse) << "random bytes compress by less than a twentieth";
    ASSERT_EQ(l.deltas.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& base = versions[3 - i];
        EXPECT_EQ(l.deltas[i].base.sha256, sha256(base));
        const std::string delta = lit(arbre / tidewell::chemindelta("Lib.dll", sha256(base)));
        EXPECT_EQ(sha256(delta), l.deltas[i].forme.sha256);
        EXPECT_LT(delta.size(), 1000u);
        std::string decode;
        ASSERT_TRUE(tidewell::publication::decodezstd(delta, &base, decode));
        EXPECT_TRUE(decode == versions[4]);
    }
    // Prog.exe, unchanged since the first release: compressed, and no delta from itself.
    const auto& p = formes->fichiers.at(1);
    ASSERT_TRUE(p.compresse);
    EXPECT_TRUE(p.deltas.empty());
    const std::string zst = lit(arbre / tidewell::chemincompresse("Prog.exe"));
    std::string decode;
    EXPECT_EQ(sha256(zst), p.compresse->sha256);
    ASSERT_TRUE(tidewell::publication::decodezstd(zst, nullptr, decode));
    EXPECT_TRUE(decode == std::string(70000, 'p'));
    // The maker keeps beside the tree, not in it, the files of the release and of the two
    // before it, the bases of its deltas.
    const auto gardes = [&] {
        std::vector<std::string> g;
        std::error_code ec;
        for (fs::directory_iterator e(tidewell::publication::historique(arbre), ec), fin; !ec && e != fin; e.increment(ec))
            g.push_back(e->path().filename().string());
        std::sort(g.begin(), g.end());
        return g;
    };
    EXPECT_EQ(gardes(), (std::vector<std::string>{"3", "4", "5"}));

    // Bound to its manifest: another release's manifest takes none of it.
    EXPECT_FALSE(tidewell::lectureformes(liste, *m, sha256(manifeste + " ")));
    // The manifest as every signed updater reads it: only its known lines, in their order.
    EXPECT_EQ(manifeste.substr(0, 9), "Format=1\r");
    EXPECT_EQ(tidewell::lignes(manifeste)->size(), 10u);
    // Maj/ and the three update files are what an unsigned publication writes.
    const fs::path nu = dossier / "Quillon";
    tidewell::publication::Release r{release, "5", "", ""};
    ASSERT_TRUE(tidewell::publication::publie(r, nu).erreurs.empty());
    for (const char* f : {"Listfich.ini", "Taillefich.ini", "Version.ini", "Maj/Lib.dll", "Maj/Prog.exe"})
        EXPECT_TRUE(lit(arbre / f) == lit(nu / f)) << f;
    EXPECT_FALSE(fs::exists(nu / tidewell::nomformes));

    // Signed again: the forms go with the new manifest; without deltas, compressed files alone.
    auto s = signataire(1);
    s.deltas = 0;
    ASSERT_EQ(resigne(s), "");
    const std::string nouveau = lit(arbre / tidewell::nommanifeste);
    const auto n = tidewell::lectureformes(lit(arbre / tidewell::nomformes), *tidewell::lecturemanifeste(nouveau, raison),
                                           sha256(nouveau));
    ASSERT_TRUE(n);
    EXPECT_TRUE(n->fichiers[0].deltas.empty() && n->fichiers[1].compresse);
    EXPECT_FALSE(fs::exists(arbre / tidewell::chemindelta("Lib.dll", sha256(versions[3]))));
    EXPECT_EQ(gardes(), (std::vector<std::string>{"3", "4", "6"})) << "signed again, the files keep their place under the new number";

    // What a publication killed while it wrote the history left, and a number above the
    // tree's (a tree put back from an older copy), go at the next publication; the latter is
    // no base for it, which starts from the tree's release (the same Lib.dll) and release 4.
    fs::create_directories(tidewell::publication::historique(arbre) / ".7");
    fs::create_directories(tidewell::publication::historique(arbre) / "9");
    std::string avenir = versions[4];
    avenir.replace(9000, 4, "v9!!");
    ecrit(tidewell::publication::historique(arbre) / "9" / "Lib.dll", avenir);
    auto sept = signataire(1);
    sept.deltas = 2;
    ASSERT_EQ(publie(sept), "");
    EXPECT_EQ(gardes(), (std::vector<std::string>{"4", "6", "7"}));
    const std::string manifeste7 = lit(arbre / tidewell::nommanifeste);
    const auto formes7 = tidewell::lectureformes(lit(arbre / tidewell::nomformes),
                                                 *tidewell::lecturemanifeste(manifeste7, raison), sha256(manifeste7));
    ASSERT_TRUE(formes7);
    ASSERT_EQ(formes7->fichiers[0].deltas.size(), 1u);
    EXPECT_EQ(formes7->fichiers[0].deltas[0].base.sha256, sha256(versions[3]));

    // Without deltas the next publication keeps no history at all.
    auto sans = signataire(1);
    sans.deltas = 0;
    ASSERT_EQ(publie(sans), "");
    EXPECT_EQ(gardes(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(tidewell::publication::historique(arbre)));

    // A tree started again under lower numbers starts its history again too.
    fs::remove_all(arbre);
    ASSERT_EQ(publie(signataire(1, 1)), "");
    EXPECT_EQ(gardes(), (std::vector<std::string>{"1"}));
}

// What each file's forms are made of: only files and bases within the bound the updater takes
// forms of (a file above it is published all the same, with none), only the bytes the
// manifest signed (a file changed once hashed refuses the release, whose Maj/ would not be
// what was signed either), and of each delta the smallest that the settings make.
TEST_F(Maker, FormsComeFromTheSignedBytesWithinTheBoundAndEachDeltaIsTheSmallest)
{
    const auto alea = [](std::size_t n, unsigned x) {
        std::string s(n, '\0');
        for (auto& c : s)
            c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
        return s;
    };
    // Half noise, half zeros: worth compressing, and a changed copy worth a delta.
    const std::string moitie = alea(10000, 1) + std::string(10000, '\0');
    std::string retouche = moitie;
    retouche.replace(5000, 4, "v2!!");
    // A block of a large file moved far, and a file of many small records with a few changed.
    const std::string loin = alea(400000, 2);
    const std::string deplace = loin.substr(0, 40000) + loin.substr(200000) + loin.substr(40000, 160000);
    std::string fiches;
    for (int i = 0; i < 6000; ++i)
        fiches += "record " + std::to_string(i * 7919 % 6000) + ";" + std::to_string(i * i % 977) + "\n";
    std::string fichesretouchees = fiches;
    for (std::size_t i = 100; i < fiches.size(); i += 5000)
        fichesretouchees[i] ^= 1;
    struct Cas {
        const char* quoi;
        std::string base, fichier;   // Lib.dll in the first release, then in the second
        std::uint64_t borne;
        bool change;                 // Lib.dll changed once hashed, before its forms are made
        const char* refus;           // what refuses the second release; null: published
        bool compresse, delta;
        std::vector<tidewell::publication::Reglage> reglages;   // empty: the tool's own
    };
    // A low level with long matching finds a block moved far, where a very fast level
    // without it does not; on short records the latter does better.
    const std::vector<tidewell::publication::Reglage> deux = {{3, true, 0, 0}, {1, false, 0, 0}};
    const std::uint64_t grande = tidewell::tailledeltamax;
    const std::vector<Cas> cas = {
        {"a file and a base of exactly the bound", moitie, retouche, 20000, false, nullptr, true, true, {}},
        {"a file one byte above the bound", moitie, retouche + "!", 20000, false, nullptr, false, false, {}},
        {"a base one byte above the bound", moitie + "!", retouche, 20000, false, nullptr, true, false, {}},
        {"a file changed once hashed", moitie, retouche, grande, true, "did it change meanwhile?", false, false, {}},
        {"a delta the library cannot make: none, and the release all the same", moitie, retouche, grande, false,
         nullptr, true, false, {{3, true, 1 << 30, 0}}},
        {"a block moved far", loin, deplace, grande, false, nullptr, false, true, deux},
        {"records, a few changed", fiches, fichesretouchees, grande, false, nullptr, true, true, deux},
    };
    std::vector<std::size_t> gagnants;   // the setting that made each delta kept, among `deux`
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.quoi);
        fs::remove_all(arbre);
        ecrit(release / "Lib.dll", c.base);
        auto s = signataire(1, 1);
        s.tailleformes = c.borne;
        if (!c.reglages.empty())
            s.reglages = c.reglages;
        ASSERT_EQ(publie(s), "");
        ecrit(release / "Lib.dll", c.fichier);
        bool change = c.change;
        s = signataire(1);
        s.tailleformes = c.borne;
        if (!c.reglages.empty())
            s.reglages = c.reglages;
        s.hachage = [&] {
            if (change)
                ecrit(release / "Lib.dll", std::string(c.fichier.size(), 'x'));
            change = false;
            return sha256flux();
        };
        const std::string refus = publie(s);
        if (c.refus) {
            EXPECT_NE(refus.find(c.refus), std::string::npos) << refus;
            EXPECT_NE(lit(arbre / tidewell::nommanifeste).find("Edition=1\r\n"), std::string::npos);
            continue;
        }
        ASSERT_EQ(refus, "");
        const std::string manifeste = lit(arbre / tidewell::nommanifeste);
        std::string raison;
        const auto formes = tidewell::lectureformes(lit(arbre / tidewell::nomformes),
                                                    *tidewell::lecturemanifeste(manifeste, raison), sha256(manifeste));
        ASSERT_TRUE(formes);
        const auto& l = formes->fichiers.at(0);
        EXPECT_EQ(static_cast<bool>(l.compresse), c.compresse);
        ASSERT_EQ(l.deltas.size(), c.delta ? 1u : 0u);
        if (!c.delta)
            continue;
        std::vector<std::size_t> tailles;
        for (const auto& r : c.reglages.empty() ? tidewell::publication::reglagesdelta : c.reglages)
            tailles.push_back(tidewell::publication::deltazstd(c.base, c.fichier, r).size());
        const auto plus = std::min_element(tailles.begin(), tailles.end());
        EXPECT_EQ(l.deltas[0].forme.taille, *plus);
        if (c.reglages.empty())
            continue;
        EXPECT_EQ(std::count(tailles.begin(), tailles.end(), *plus), 1) << "a tie shows nothing of the choice";
        gagnants.push_back(static_cast<std::size_t>(plus - tailles.begin()));
    }
    // Each setting that wins somewhere here is one a single setting would miss.
    std::sort(gagnants.begin(), gagnants.end());
    EXPECT_GT(std::unique(gagnants.begin(), gagnants.end()) - gagnants.begin(), 1);
}
