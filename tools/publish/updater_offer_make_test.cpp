// The offer of a new updater as the maker's tool makes it: only a program that can serve the
// copies is offered, the offer verifies and belongs to its release alone, and it stays offered
// by every later release until a newer one comes.
#include "maker_fixture.h"
#include "pe_image.h"
#include "updater_identity.h"
#include "updater_offer.h"
#include "updater_offer_make.h"

#include <gtest/gtest.h>

using maker::Maker;
using namespace tidewell::signature;
namespace fs = std::filesystem;

namespace {

class Offer : public Maker {
protected:
    // An updater of this revision carrying the keys of these ids (or the public key given for
    // the first), written as a file of the test's folder.
    fs::path updater(std::uint64_t revision, std::vector<int> ids, peimage::Options o = {},
                     const std::string& firstKey = "")
    {
        tidewell::Identite id{revision, {}};
        for (int i : ids)
            id.cles.push_back({i, id.cles.empty() && !firstKey.empty() ? firstKey : clepublique(*cles[i])});
        if (!o.identite)
            o.identite = tidewell::ecritidentite(id);
        const fs::path p = dossier / ("Tidewell-" + std::to_string(++made_) + ".exe");
        ecrit(p, peimage::image(o) + std::string(60000, 'u') + std::to_string(revision));
        return p;
    }
    // The tree's offer, verified with key `id` and bound to its manifest; nothing otherwise.
    std::optional<tidewell::Offre> offer(int id)
    {
        const std::string texte = lit(arbre / tidewell::nomoffre), manifeste = lit(arbre / tidewell::nommanifeste);
        const auto sig = tidewell::lecturesignature(lit(arbre / tidewell::nomsignatureoffre));
        std::string raison;
        const auto m = tidewell::lecturemanifeste(manifeste, raison);
        if (!sig || !m || sig->cle != id || !verifie(clepublique(*cles[id]), sig->rs, texte))
            return std::nullopt;
        return tidewell::lectureoffre(texte, *m, sha256(manifeste));
    }
    int made_ = 0;
};

}  // namespace

TEST_F(Offer, OnlyAProgramThatCanServeTheCopiesIsOffered)
{
    ASSERT_EQ(publie(signataire(1, 1), false, updater(3, {1, 2})), "");
    const fs::path other = dossier / "other";
    const auto key2Under1 = clepublique(*cles[2]);
    peimage::Options dll, console, amd64, bare;
    dll.dll = true;
    console.subsystem = 3;
    amd64.machine = tidewell::machineamd64;
    bare.identite = std::string();   // a resource that is no identity
    ecrit(other, "MZ not a program");
    const std::vector<std::tuple<const char*, fs::path, std::string>> cases = {
        {"not a program", other, "not a Windows program"},
        {"a library", updater(4, {1}, dll), "not a Windows program"},
        {"a console program", updater(4, {1}, console), "not a Windows GUI program"},
        {"a program of the other machine", updater(4, {1}, amd64), "the tree offers the 32-bit (i386) updater"},
        {"a program without an identity", updater(4, {1}, bare), "no identity"},
        {"without the signing key", updater(4, {2}), "does not carry key 1"},
        {"another key under the signing key's id", updater(4, {1}, {}, key2Under1), "does not carry key 1"},
        {"the revision already offered", updater(3, {1}), "revision 3 is not above the revision 3"},
        {"a lower revision", updater(2, {1}), "revision 2 is not above"},
    };
    const std::string before = etat();
    for (const auto& [what, program, why] : cases) {
        const std::string e = publie(signataire(1), false, program);
        EXPECT_NE(e.find(why), std::string::npos) << what << ": " << e;
        EXPECT_TRUE(etat() == before) << what;
    }
    // An unsigned publication offers none.
    tidewell::publication::Release r{release, "5", "", ""};
    r.sanssignature = true;
    r.programme = updater(4, {1});
    const auto unsigned_ = tidewell::publication::publie(r, arbre);
    ASSERT_FALSE(unsigned_.erreurs.empty());
    EXPECT_NE(unsigned_.erreurs.front().find("signed release only"), std::string::npos);
    EXPECT_TRUE(etat() == before);
    // The 64-bit test builds offer theirs when told.
    r.sanssignature = false;
    r.programme = updater(4, {1}, amd64);
    r.machine = tidewell::machineamd64;
    const auto s = signataire(1);
    EXPECT_TRUE(tidewell::publication::publie(r, arbre, &s).erreurs.empty());
    EXPECT_EQ(offer(1)->revision, 4u);
}

// Offered once, an updater is offered by every later release, signed again or rotated to the
// next key, each offer bound to its own manifest, until a newer revision replaces it, which
// then comes as a delta from the one before.
TEST_F(Offer, TheNewestUpdaterStaysOfferedAndEachOfferBelongsToItsRelease)
{
    const fs::path three = updater(3, {1, 2});
    ASSERT_EQ(publie(signataire(1, 1)), "");
    EXPECT_FALSE(fs::exists(arbre / tidewell::nomoffre));
    ASSERT_EQ(publie(signataire(1), false, three), "");
    auto o = offer(1);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->revision, 3u);
    EXPECT_EQ(o->programme, (tidewell::Contenu{fs::file_size(three), sha256(lit(three))}));
    EXPECT_TRUE(lit(arbre / tidewell::cheminprogramme()) == lit(three));
    ASSERT_TRUE(o->formes.compresse);
    EXPECT_EQ(o->formes.compresse->sha256, sha256(lit(arbre / tidewell::cheminprogrammecompresse())));
    std::string offers = lit(arbre / tidewell::nomoffre);

    ecrit(release / "Prog.exe", "release three");
    ASSERT_EQ(publie(signataire(1)), "");
    ASSERT_TRUE(offer(1)) << "a later release offers it again, bound to its own manifest";
    EXPECT_EQ(offer(1)->revision, 3u);
    EXPECT_NE(lit(arbre / tidewell::nomoffre), offers);
    offers = lit(arbre / tidewell::nomoffre);
    ASSERT_EQ(resigne(signataire(1)), "");
    ASSERT_TRUE(offer(1)) << "signed again";
    EXPECT_NE(lit(arbre / tidewell::nomoffre), offers);

    // Rotating to key 2 keeps offering an updater that carries it.
    ASSERT_EQ(publie(signataire(2, 0, 1)), "");
    ASSERT_TRUE(offer(2));
    EXPECT_EQ(offer(2)->revision, 3u);

    // A newer one replaces it, with a delta from it; one that lacks the next signing key
    // stops the rotation until a newer one carries it.
    const fs::path four = updater(4, {2});
    ASSERT_EQ(publie(signataire(2), false, four), "");
    o = offer(2);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->revision, 4u);
    ASSERT_EQ(o->formes.deltas.size(), 1u);
    EXPECT_EQ(o->formes.deltas[0].base.sha256, sha256(lit(three)));
    EXPECT_TRUE(fs::exists(arbre / tidewell::cheminprogrammedelta(sha256(lit(three)))));
    const std::string before = etat();
    const std::string e = publie(signataire(3, 0, 2));
    EXPECT_NE(e.find("does not carry key 3"), std::string::npos) << e;
    EXPECT_TRUE(etat() == before);
    ASSERT_EQ(publie(signataire(3, 0, 2), false, updater(5, {2, 3})), "");
    EXPECT_EQ(offer(3)->revision, 5u);
}

// An offer changed on the server is no base for the next one: nothing is published from it.
TEST_F(Offer, ATreeWhoseOfferChangedIsRefused)
{
    ASSERT_EQ(publie(signataire(1, 1), false, updater(3, {1})), "");
    for (const auto& [what, file] : std::vector<std::pair<const char*, std::string>>{
             {"the program", tidewell::cheminprogramme()}, {"the offer", tidewell::nomoffre}}) {
        const std::string kept = lit(arbre / file);
        ecrit(arbre / file, kept + "!");
        const std::string before = etat();
        const std::string e = publie(signataire(1));
        EXPECT_NE(e.find("offer of an updater cannot be trusted"), std::string::npos) << what << ": " << e;
        EXPECT_TRUE(etat() == before) << what;
        ecrit(arbre / file, kept);
    }
    EXPECT_EQ(publie(signataire(1)), "");
}
