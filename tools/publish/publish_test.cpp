// The publishing tool writes what the updater reads, and refuses what it could not install.
#include "pages.h"
#include "publish.h"
#include "tree_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace tidewell::publication;

namespace {

class Publish : public ::testing::Test {
protected:
    fs::path racine = fs::temp_directory_path() / ("tidewell-publish-" + std::to_string(std::random_device{}()));
    fs::path release = racine / "release";
    fs::path arbre = racine / "Abacor";
    void SetUp() override { fs::create_directories(release); }
    void TearDown() override { fs::remove_all(racine); }
};

}  // namespace

TEST_F(Publish, WritesTheTreeTheUpdaterReads)
{
    ecrit(release / "Prog.exe", std::string(1536, 'p'));
    ecrit(release / "Aide.hlp", std::string(1024, 'a'));
    const Resultat r = publie({release, "5", "2", "12/03/2026"}, arbre);
    ASSERT_TRUE(r.erreurs.empty()) << r.erreurs.front();
    EXPECT_EQ(lit(arbre / "Listfich.ini"), "Aide.hlp\r\nProg.exe\r\n");   // stable order
    EXPECT_EQ(lit(arbre / "Taillefich.ini"), "2\r\n");   // 2.5 KiB rounds to the even 2
    EXPECT_EQ(lit(arbre / "Version.ini"), "[Version]\r\nVersion=5\r\nSousVersion=2\r\nDate=12/03/2026\r\n");
    EXPECT_EQ(lit(arbre / "Maj" / "Prog.exe"), std::string(1536, 'p'));
    EXPECT_EQ(std::distance(fs::directory_iterator(arbre), fs::directory_iterator()), 4);   // nothing unsigned adds
    // What the updater makes of it.
    const tidewell::ListeFichiers liste = tidewell::lectureliste(lit(arbre / "Listfich.ini"));
    EXPECT_EQ(liste.noms, (std::vector<std::string>{"Aide.hlp", "Prog.exe"}));
    EXPECT_EQ(tidewell::tailledepuis(lit(arbre / "Taillefich.ini")), 2);
}

TEST_F(Publish, DoubleQuotesBecomeCurrencySignsAndAccentsCodePage1252)
{
    ecrit(release / "a.dat", "x");
    const Resultat r = publie({release, "\"5\"", "", "d\xC3\xA9" "c. 2026"}, arbre);
    ASSERT_TRUE(r.erreurs.empty()) << r.erreurs.front();
    EXPECT_EQ(lit(arbre / "Version.ini"), "[Version]\r\nVersion=\xA4" "5\xA4\r\nSousVersion=\r\nDate=d\xE9" "c. 2026\r\n");
}

TEST_F(Publish, ARepublicationSwitchesTheWholeTreeAtOnceOrLeavesItAsItWas)
{
    // A plain folder from before, then two publications: the live tree becomes a link that
    // one rename switches, and nothing else is left beside it.
    fs::create_directories(arbre / "Maj");
    ecrit(arbre / "Maj" / "stale.dat", "s");
    ecrit(release / "old.dat", "x");
    ASSERT_TRUE(publie({release, "1", "", ""}, arbre).erreurs.empty());
    fs::remove(release / "old.dat");
    ecrit(release / "new.dat", "y");
    ASSERT_TRUE(publie({release, "2", "", ""}, arbre).erreurs.empty());
    EXPECT_TRUE(fs::is_symlink(arbre));
    EXPECT_FALSE(fs::exists(arbre / "Maj" / "old.dat"));
    EXPECT_FALSE(fs::exists(arbre / "Maj" / "stale.dat"));
    EXPECT_EQ(lit(arbre / "Listfich.ini"), "new.dat\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(racine), fs::directory_iterator()), 3);   // release, link, its folder

    // A release file that cannot be read (a link to nothing): refused with a message, the live
    // tree still the last one and no half-written tree beside it.
    ecrit(release / "a.dat", "a");
    fs::create_symlink(racine / "nowhere", release / "b.dat");
    const Resultat r = publie({release, "3", "", ""}, arbre);
    ASSERT_FALSE(r.erreurs.empty());
    EXPECT_NE(r.erreurs.front().find("the live tree is as it was"), std::string::npos) << r.erreurs.front();
    EXPECT_EQ(lit(arbre / "Listfich.ini"), "new.dat\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(racine), fs::directory_iterator()), 3);

    // A live tree linked by hand to a folder of the maker's: the link is replaced, the folder
    // it pointed to stays as it was.
    fs::remove(release / "b.dat");
    fs::remove(arbre);
    fs::create_directories(racine / "travail");
    ecrit(racine / "travail" / "notes.txt", "n");
    fs::create_directory_symlink(racine / "travail", arbre);
    ASSERT_TRUE(publie({release, "4", "", ""}, arbre).erreurs.empty());
    EXPECT_EQ(lit(racine / "travail" / "notes.txt"), "n");
    EXPECT_EQ(lit(arbre / "Listfich.ini"), "a.dat\r\nnew.dat\r\n");
}

TEST_F(Publish, RefusesWhatTheUpdaterCouldNotInstallWhole)
{
    auto refuse = [&](const Release& r) {
        const Resultat resultat = publie(r, arbre);
        EXPECT_FALSE(resultat.erreurs.empty());
        EXPECT_FALSE(fs::exists(arbre));   // nothing written
        return resultat;
    };
    ecrit(release / "ok.dat", "x");
    refuse({release, "1234567890", "", ""});            // 10 characters, 9 are read
    refuse({release, "1", "", "123456789012345"});      // 15, 14 are read
    refuse({release, "1", " 2", ""});                   // spaces would be lost
    refuse({release, "1", "\xC2\xA4", ""});             // "¤" means a double quote
    refuse({release, "", "", ""});                      // no version
    refuse({release, "1", "", "\xE2\x86\x92"});         // no place in code page 1252
    refuse({racine / "absent", "1", "", ""});

    for (const char* nom : {"CON.txt", "mon fichier.txt", "a#b.dat", "COM0", "Prog.SAV", "Prog.exe.~maj", "x.",
                            "Listfich.ini", "version.ini", "TAILLEFICH.INI", "Tidewell.ini", "tidewell.exe", "Etatmaj.ini",
                            "journalmaj.INI", "Verroumaj.ini"}) {
        ecrit(release / nom, "x");
        const Resultat refuse_nom = refuse({release, "1", "", ""});
        EXPECT_EQ(refuse_nom.erreurs.front().rfind(nom, 0), 0u) << nom;   // says which name
        fs::remove(release / nom);
    }
    fs::create_directory(release / "Aide");
    refuse({release, "1", "", ""});
    fs::remove(release / "Aide");
    for (int i = 0; i < 50; ++i)
        ecrit(release / ("f" + std::to_string(i) + ".dat"), "x");
    const Resultat trop = refuse({release, "1", "", ""});   // 51 files
    EXPECT_NE(trop.erreurs.front().find("51 files"), std::string::npos);
    fs::remove(release / "ok.dat");
    const Resultat cinquante = publie({release, "1", "", ""}, arbre);   // the most the updater installs
    ASSERT_TRUE(cinquante.erreurs.empty()) << cinquante.erreurs.front();
    EXPECT_EQ(tidewell::lectureliste(lit(arbre / "Listfich.ini")).nombre, 50);
}

TEST(CodePage1252, FromUtf8)
{
    std::string s;
    EXPECT_TRUE(versCP1252("T\xC3\xA9l\xC3\xA9" "chargement \xE2\x82\xAC \xC5\x93", s));
    EXPECT_EQ(s, "T\xE9l\xE9" "chargement \x80 \x9C");
    EXPECT_FALSE(versCP1252("\xC4\x81", s));   // ā
    EXPECT_FALSE(versCP1252("\xC3", s));       // cut short
}
