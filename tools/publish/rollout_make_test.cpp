// The maker's share of a release as the tool signs it: bound to the release, a sequence that
// only rises while the release stands, kept through a signing again, the tree switched whole,
// and nothing written for a tree or a share it cannot trust.
#include "maker_fixture.h"
#include "rollout.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <future>

using maker::Maker;
using namespace tidewell::signature;
namespace fs = std::filesystem;

namespace {

class Rollout : public Maker {
protected:
    // The tree's share, verified with key `id` and bound to its manifest; nothing otherwise.
    std::optional<tidewell::Deploiement> part(int id = 1)
    {
        const std::string texte = lit(arbre / tidewell::nomdeploiement), manifeste = lit(arbre / tidewell::nommanifeste);
        const auto sig = tidewell::lecturesignature(lit(arbre / tidewell::nomsignaturedeploiement));
        std::string raison;
        const auto m = tidewell::lecturemanifeste(manifeste, raison);
        if (!sig || !m || !verifie(clepublique(*cles[id]), sig->rs, texte))
            return std::nullopt;
        return tidewell::lecturedeploiement(texte, *m, sha256(manifeste));
    }
    std::string deploie(std::uint32_t p, int id = 1, std::uint64_t minute = 0)
    {
        auto s = signataire(id, 0, id == 1 ? 0 : 1);   // a later key knows key 1's
        s.part = p;
        s.minute = minute;
        const auto r = tidewell::publication::deploie(arbre, s);
        return r.erreurs.empty() ? "" : r.erreurs.front();
    }
    // The sequence and share the tree holds, as "sequence:share"; "none" without a file.
    std::string lu(int id = 1)
    {
        if (!fs::exists(arbre / tidewell::nomdeploiement))
            return "none";
        const auto d = part(id);
        return d ? std::to_string(d->sequence) + ":" + tidewell::textepart(d->part) : "unverified";
    }
    std::string edition()
    {
        std::string raison;
        const auto m = tidewell::lecturemanifeste(lit(arbre / tidewell::nommanifeste), raison);
        return m ? std::to_string(m->edition) : "none";
    }
};

}  // namespace

TEST_F(Rollout, AShareIsSignedForItsReleaseAloneRisesInSequenceAndSurvivesASigningAgain)
{
    // Each step, then the release the tree holds and its share ("sequence:share").
    const struct {
        const char* etape;
        std::function<std::string()> faire;
        const char* edition;
        const char* part;
    } etapes[] = {
        {"published for every copy", [&] { return publie(signataire(1, 5)); }, "5", "none"},
        {"staged to 1 %", [&] { return deploie(100); }, "5", "1:1"},
        {"widened to 10 %", [&] { return deploie(1000); }, "5", "2:10"},
        {"to 50.05 %", [&] { return deploie(5005); }, "5", "3:50.05"},
        {"halted", [&] { return deploie(0); }, "5", "4:0"},
        {"signed again: as far as it was, its sequence new with its number", [&] { return resigne(signataire(1)); }, "6",
         "1:0"},
        {"signed again at a share", [&] {
             auto s = signataire(1);
             s.part = 2500;
             return resigne(s);
         }, "7", "1:25"},
        {"to every copy", [&] { return deploie(10000); }, "7", "2:100"},
        {"the share lost with the tree, put back from a copy of before it: the maker's clock goes on", [&] {
             fs::remove(arbre / tidewell::nomdeploiement);
             fs::remove(arbre / tidewell::nomsignaturedeploiement);
             return deploie(5000, 1, 500);
         }, "7", "500:50"},
        {"... and the tree's word goes on past a clock behind it", [&] { return deploie(6000, 1, 20); }, "7", "501:60"},
        {"a new release staged from the start", [&] {
             auto s = signataire(1);
             s.part = 1;
             ecrit(release / "Prog.exe", "v8");
             return publie(s);
         }, "8", "1:0.01"},
        {"a new release for every copy", [&] {
             ecrit(release / "Prog.exe", "v9");
             return publie(signataire(1));
         }, "9", "none"},
        {"a share at a rotation is the new key's once the release is signed by it", [&] {
             auto s = signataire(2, 0, 1);
             s.part = 4000;
             return resigne(s);
         }, "10", "1:40"},
    };
    for (const auto& e : etapes) {
        EXPECT_EQ(e.faire(), "") << e.etape;
        EXPECT_EQ(edition(), e.edition) << e.etape;
        EXPECT_EQ(lu(std::string(e.etape).find("rotation") != std::string::npos ? 2 : 1), e.part) << e.etape;
    }
}

TEST_F(Rollout, AChangeOfShareSwitchesTheTreeWholeAndWritesThroughNoLinkOfTheLiveOne)
{
    ASSERT_EQ(publie(signataire(1, 5)), "");
    ASSERT_EQ(deploie(1000), "");
    const std::string avant = etat();
    const fs::path dossieravant = fs::canonical(arbre);
    // A reader of the live tree holds its share by a name of its own.
    fs::create_hard_link(arbre / tidewell::nomdeploiement, dossier / "lecteur");
    const std::string vu = lit(dossier / "lecteur");
    ASSERT_EQ(deploie(5000), "");
    EXPECT_TRUE(fs::is_symlink(arbre));
    EXPECT_NE(fs::canonical(arbre), dossieravant);
    EXPECT_FALSE(fs::exists(dossieravant));
    EXPECT_EQ(lit(dossier / "lecteur"), vu);
    EXPECT_EQ(lu(), "2:50");
    // Everything else is as it was, byte for byte.
    const auto sans = [](const std::string& t) {
        std::string garde;
        for (std::size_t debut = 0, fin; debut < t.size(); debut = fin + 1) {
            fin = t.find(';', debut);
            const std::string e = t.substr(debut, fin - debut);
            if (e.find("Deploiement.ini=") == std::string::npos)
                garde += e + ";";
        }
        return garde;
    };
    EXPECT_EQ(sans(etat()), sans(avant));
    EXPECT_NE(etat(), avant);
    // Another publication into the folder under way: this one waits for its end.
    const int autre = ::open(dossier.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(autre, LOCK_EX), 0);
    auto attendue = std::async(std::launch::async, [&] { return deploie(6000); });
    EXPECT_EQ(attendue.wait_for(std::chrono::milliseconds(1500)), std::future_status::timeout);
    EXPECT_EQ(lu(), "2:50");
    ::close(autre);
    EXPECT_EQ(attendue.get(), "");
    EXPECT_EQ(lu(), "3:60");
}

TEST_F(Rollout, NoShareIsSignedForATreeOrAShareItCannotTrust)
{
    // What is done to the published and staged tree, what the change of share answers, and
    // whether signing it again with a share given mends it.
    const struct {
        const char* cas;
        std::function<void()> abime;
        int cle;
        const char* refus;
    } cas[] = {
        {"a file changed since it was signed", [&] { ecrit(arbre / "Maj" / "Prog.exe", "changed"); }, 1,
         "the tree's current release cannot be trusted"},
        {"another key than the release's", [] {}, 2, "the tree's current release is signed by key 1"},
        {"a share changed by hand", [&] {
             ecrit(arbre / tidewell::nomdeploiement,
                   lit(arbre / tidewell::nomdeploiement).replace(lit(arbre / tidewell::nomdeploiement).find("Part=10"), 7, "Part=90"));
         }, 1, "its sequence cannot be trusted either"},
        {"a share without its signature", [&] { fs::remove(arbre / tidewell::nomsignaturedeploiement); }, 1,
         "is not its current release's, signed by key 1"},
        {"a link in the live tree, which would lead out of it", [&] {
             fs::create_directories(dossier / "prive");
             ecrit(dossier / "prive" / "cle.pem", "secret");
             fs::create_directory_symlink(dossier / "prive", arbre / "Formes" / "prive");
         }, 1, "is neither a file nor a folder"},
        {"another release's share", [&] {
             const fs::path autre = dossier / "autre";
             fs::copy(arbre / tidewell::nomdeploiement, autre);
             fs::copy(arbre / tidewell::nomsignaturedeploiement, dossier / "autresig");
             ASSERT_EQ(resigne(signataire(1)), "");
             fs::remove(arbre / tidewell::nomdeploiement);
             fs::remove(arbre / tidewell::nomsignaturedeploiement);
             fs::copy(autre, arbre / tidewell::nomdeploiement);
             fs::copy(dossier / "autresig", arbre / tidewell::nomsignaturedeploiement);
         }, 1, "is not its current release's"},
    };
    for (const auto& c : cas) {
        fs::remove_all(arbre);
        fs::remove_all(tidewell::publication::historique(arbre));
        fs::remove_all(dossier / "autre");
        fs::remove_all(dossier / "autresig");
        ASSERT_EQ(publie(signataire(1, 5)), "") << c.cas;
        ASSERT_EQ(deploie(1000), "") << c.cas;
        c.abime();
        const std::string avant = etat();
        EXPECT_NE(deploie(5000, c.cle).find(c.refus), std::string::npos) << c.cas << ": " << deploie(5000, c.cle);
        EXPECT_EQ(etat(), avant) << c.cas;
    }
    // A signing again keeps a share only when it can trust it: told none, it is told why.
    auto s = signataire(1);
    EXPECT_NE(resigne(s).find("give the share with --rollout"), std::string::npos);
    s.part = 3000;
    EXPECT_EQ(resigne(s), "");
    EXPECT_EQ(lu(), "1:30");
    // A tree with no release has no share to change.
    fs::remove_all(arbre);
    EXPECT_NE(deploie(10).find("no signed tree"), std::string::npos);
}
