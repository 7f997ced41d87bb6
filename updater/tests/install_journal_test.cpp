// The install journal's text, and what a run that finds one decides to leave a whole release.
#include "install_journal.h"

#include <gtest/gtest.h>

using namespace tidewell;

namespace {

const std::string N(64, 'b'), O(64, 'a'), X(64, 'c');

Journal exemple()
{
    // A.dll replaced, Aide-Neuf.txt new in this release.
    return {Journal::Etape::remplacement, 7, 2,
            {{{"A.dll", 3, N}, Empreinte{"A.dll.sav", 5, O}}, {{"Aide-Neuf.txt", 4, N}, std::nullopt}}};
}

}  // namespace

TEST(InstallJournal, ReadsBackWhatItWritesAndNothingElse)
{
    const std::string t = ecritjournal(exemple());
    EXPECT_EQ(t, "Format=1\r\nEtape=remplacement\r\nEdition=7\r\nCle=2\r\nFichier=A.dll;3;" + N
                     + "\r\nSauvegarde=A.dll.sav;5;" + O + "\r\nFichier=Aide-Neuf.txt;4;" + N + "\r\n");
    auto j = lecturejournal(t);
    ASSERT_TRUE(j);
    EXPECT_EQ(ecritjournal(*j), t);
    j->fichiers[0].ancien->nom = nomsauvegardesignee("A.dll", 9);   // a backup's name taken: the next
    EXPECT_EQ(j->fichiers[0].ancien->nom, "A.dll.~9.sav");
    j->etape = Journal::Etape::rangement;
    const auto range = lecturejournal(ecritjournal(*j));
    ASSERT_TRUE(range);
    EXPECT_EQ(range->etape, Journal::Etape::rangement);
    // A journal can only name the release's own files and their backups.
    const auto remplace = [&](const std::string& de, const std::string& par) {
        std::string u = t;
        u.replace(u.find(de), de.size(), par);
        return u;
    };
    for (const std::string& bad : {
             remplace("Sauvegarde=A.dll.sav", "Sauvegarde=A.sav"),          // someone's own backup
             remplace("Fichier=Aide", "Fichier=..\\Aide"),                   // outside the folder
             remplace("Fichier=Aide", "Sauvegarde=Aide"),                    // a backup of nothing
             remplace("Format=1", "Format=2"), remplace("Cle=2", "Cle=0"), remplace("remplacement", "fini"),
             remplace("Fichier=Aide-Neuf.txt", "Fichier=Verroumaj.ini"),     // one of the updater's own
             remplace("Fichier=Aide-Neuf.txt", "Fichier=sub\\Neuf.txt"),   // through a folder that may be a link
             remplace("A.dll.sav", "A.dll.~10.sav"),
             t.substr(0, t.find("Fichier=")),                                // no file at all
             t + "Fichier=aide-NEUF.TXT;3;" + N + "\r\n",                    // one file under two spellings
             remplace("Edition=7", "Edition=07"), t + "Fichier=a.dll;3;" + N + "\r\n",   // a name twice
             remplace("Edition=7", "Edition=1000000000"),                    // above any manifest's
             t + "Autre=1\r\n", t.substr(0, t.size() - 1), std::string("Format=1\r\n"),
             t + std::string(taillemaxjournal, 'x')})
        EXPECT_FALSE(lecturejournal(bad)) << bad;
}

TEST(InstallJournal, AnInterruptedInstallIsKeptOnlyWhenWholeAndOtherwiseUndoneFileByFile)
{
    const Journal j = exemple();
    const Empreinte nouveau{"", 3, N}, ancien{"", 5, O}, autre{"", 5, X}, nouveau2{"", 4, N};
    struct Case {
        const char* what;
        std::vector<Constat> seen;
        bool kept;
        std::vector<Geste> done;
    };
    const std::vector<Case> cases = {
        {"every file new: only the tidying was left", {{nouveau, true}, {nouveau2, false}}, true, {}},
        {"every file new, backups gone", {{nouveau, false}, {nouveau2, false}}, true, {}},
        {"nothing replaced yet", {{ancien, true}, {std::nullopt, false}}, false, {Geste::rien, Geste::rien}},
        {"killed before the backups were kept", {{ancien, false}, {std::nullopt, false}}, false,
         {Geste::rien, Geste::rien}},
        {"the first file in place", {{nouveau, true}, {std::nullopt, false}}, false,
         {Geste::remetsauvegarde, Geste::rien}},
        {"the created file in place", {{ancien, true}, {nouveau2, false}}, false, {Geste::rien, Geste::supprime}},
        {"a replaced file gone since", {{std::nullopt, true}, {std::nullopt, false}}, false,
         {Geste::remetsauvegarde, Geste::rien}},
        {"new with no whole backup", {{nouveau, false}, {std::nullopt, false}}, false,
         {Geste::impossible, Geste::rien}},
        {"someone else's bytes stay", {{autre, true}, {autre, false}}, false, {Geste::rien, Geste::rien}},
    };
    for (const auto& c : cases) {
        const Reprise r = decidereprise(j, c.seen);
        EXPECT_EQ(r.garde, c.kept) << c.what;
        EXPECT_EQ(r.gestes, c.done) << c.what;
    }
    // Once every file was in place and the release recorded, it is kept whatever is found.
    Journal installe = j;
    installe.etape = Journal::Etape::rangement;
    EXPECT_TRUE(decidereprise(installe, {{autre, false}, {std::nullopt, false}}).garde);
    // A file the release leaves unchanged holds both the old and the new bytes: never undone.
    Journal meme = j;
    meme.fichiers[0].ancien = Empreinte{"A.dll.sav", 3, N};
    EXPECT_EQ(decidereprise(meme, {{nouveau, false}, {std::nullopt, false}}).gestes,
              (std::vector<Geste>{Geste::rien, Geste::rien}));
}

TEST(InstallJournal, TheRoomNeededCountsWholeClustersAndNeverWrapsAround)
{
    // Two new files of one cluster each, a backup of two, the journal of two clusters and the
    // state record, each beside its next text.
    EXPECT_EQ(placenecessaire({1, 4096}, {4097}, 5000, 4096), 4096u + 4096 + 8192 + 2 * 8192 + 2 * 4096);
    EXPECT_EQ(placenecessaire({}, {}, 100, 0), 2u * 100 + 2 * 64);
    EXPECT_EQ(placenecessaire({~std::uint64_t{0} - 10, 100}, {}, 100, 4096), ~std::uint64_t{0});
}
