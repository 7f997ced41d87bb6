// What counts as a missing page or a whole body, and where backups and downloads are kept.
#include "web_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace libmaj;

TEST(WebRules, MarkersMatchInAnyCaseAnywhere)
{
    EXPECT_TRUE(contientmarqueur("Erreur 404 : page introuvable"));
    EXPECT_TRUE(contientmarqueur("xx error 404yy"));
    EXPECT_TRUE(contientmarqueur("<h1>ERROR 404</h1>"));
    EXPECT_FALSE(contientmarqueur("404 Not Found"));
    EXPECT_FALSE(contientmarqueur("ERROR  404"));
    EXPECT_FALSE(contientmarqueur(""));
}

TEST(WebRules, PageStatus)
{
    // Without a length, a page is taken only by a caller that checks its signed hash: a
    // chunked body cut before its last chunk ends like a whole one.
    Lecture ok;
    ok.statuthttp = 200;
    for (const char* texte : {"Prog.exe\r\n", ""}) {
        EXPECT_EQ(statutpage(ok, texte), pagemanquante) << texte;
        EXPECT_EQ(statutpage(ok, texte, true), pagelue) << texte;   // an empty page is present
    }
    EXPECT_EQ(statutpage(ok, "ERROR 404", true), pagemanquante);

    // Each fault on its own spoils a page that is otherwise whole, with its length or signed.
    struct Cas {
        const char* texte;
        std::optional<unsigned long long> longueur;
        bool signee;
    };
    for (const Cas& c : {Cas{"Prog.exe", 8, false}, Cas{"", 0, false}, Cas{"Prog.exe", std::nullopt, true},
                         Cas{"", std::nullopt, true}}) {
        Lecture bon = ok;
        bon.longueurannoncee = c.longueur;
        EXPECT_EQ(statutpage(bon, c.texte, c.signee), pagelue) << c.texte << c.signee;
        Lecture marque = bon;
        const std::string marqueur = "x ERROR 404 x";
        if (c.longueur)
            marque.longueurannoncee = marqueur.size();
        EXPECT_EQ(statutpage(marque, marqueur, c.signee), pagemanquante) << c.signee;
        for (unsigned long statut : {0ul, 100ul, 199ul, 300ul, 302ul, 400ul, 404ul, 500ul}) {
            Lecture f = bon;
            f.statuthttp = statut;
            EXPECT_EQ(statutpage(f, c.texte, c.signee), pagemanquante) << statut;
        }
        // Compressed, an unreadable length, a failed read, too large: missing, even when empty.
        for (bool Lecture::*fault : {&Lecture::encodee, &Lecture::longueurinvalide, &Lecture::echeclecture,
                                     &Lecture::tropgrand}) {
            Lecture f = bon;
            f.*fault = true;
            EXPECT_EQ(statutpage(f, c.texte, c.signee), pagemanquante) << c.texte << c.signee;
        }
    }

    Lecture cut = ok;
    cut.longueurannoncee = 100;
    EXPECT_EQ(statutpage(cut, std::string(40, 'x')), pagemanquante);
    EXPECT_EQ(statutpage(cut, std::string(100, 'x')), pagelue);
}

TEST(WebRules, APageIsAbsentOnlyWhenTheServerSaysSoNotWhenItFails)
{
    // Status (0: no answer), the body read whole or not, its text; absent or not.
    const struct {
        unsigned long statut;
        bool coupe;
        const char* texte;
        bool absente;
    } cas[] = {{404, false, "", true},           {410, false, "", true},          {403, false, "", true},
               {400, false, "", true},           {408, false, "", false},         {429, false, "", false},
               {500, false, "", false},          {503, false, "", false},         {0, false, "", false},
               {302, false, "", false},          {200, false, "ERROR 404", true}, {200, false, "erreur 404 ici", true},
               {200, true, "ERROR 404", false},  {200, false, "Part=50", false},  {206, false, "", false}};
    for (const auto& c : cas) {
        Lecture l;
        l.statuthttp = c.statut;
        l.echeclecture = c.coupe;
        EXPECT_EQ(pageabsente(l, c.texte), c.absente) << c.statut << " " << c.texte;
    }
}

TEST(WebRules, AWholeBodyNeedsSuccessAPlainBodyAndExactlyTheAnnouncedLength)
{
    Lecture l;
    l.statuthttp = 200;
    EXPECT_FALSE(corpscomplet(l, 12345));   // no length: a cut connection looks the same
    l.longueurannoncee = 12345;
    EXPECT_TRUE(corpscomplet(l, 12345));
    EXPECT_FALSE(corpscomplet(l, 12344));
    EXPECT_FALSE(corpscomplet(l, 12346));
    for (unsigned long statut : {0ul, 204ul, 300ul, 404ul}) {
        l.statuthttp = statut;
        EXPECT_EQ(corpscomplet(l, 12345), statut == 204) << statut;
    }
    l.statuthttp = 200;
    for (bool Lecture::*fault : {&Lecture::echeclecture, &Lecture::encodee, &Lecture::longueurinvalide}) {
        Lecture f = l;
        f.*fault = true;
        EXPECT_FALSE(corpscomplet(f, 12345));
    }
}

TEST(WebRules, LengthsEncodingsAndRedirects)
{
    EXPECT_EQ(longueurdepuis("0"), 0u);
    EXPECT_EQ(longueurdepuis("300000"), 300000u);
    EXPECT_EQ(longueurdepuis("18446744073709551615"), ~0ULL);
    for (const char* bad : {"", " 12", "12 ", "12abc", "-1", "+1", "0x10", "18446744073709551616", "1.5"})
        EXPECT_FALSE(longueurdepuis(bad)) << bad;
    EXPECT_TRUE(encodageidentite(""));
    EXPECT_TRUE(encodageidentite("Identity"));
    EXPECT_FALSE(encodageidentite("gzip"));
    EXPECT_FALSE(encodageidentite("identity, gzip"));
    EXPECT_TRUE(redirectionpermise("https://cdn.example/Abacor/Maj/Abacor.exe"));
    EXPECT_TRUE(redirectionpermise("HTTPS://localhost:1/x"));
    for (const char* bad : {"http://cdn.example/x", "ftp://x/y", "https://", "//cdn.example/x", "file:///C:/x"})
        EXPECT_FALSE(redirectionpermise(bad)) << bad;
}

TEST(WebRules, TheBackupLiesBesideTheFile)
{
    EXPECT_EQ(nomsauvegarde("C:\\Appli\\Prog.exe"), "C:\\Appli\\Prog.sav");
    EXPECT_EQ(nomsauvegarde("C:\\Appli\\Lisez-moi"), "C:\\Appli\\Lisez-moi.sav");
    EXPECT_EQ(nomsauvegarde("C:\\Appli\\archive.tar.gz"), "C:\\Appli\\archive.tar.sav");
    // A dot in a folder name is not the file's: the backup stays in the file's folder.
    EXPECT_EQ(nomsauvegarde("C:\\Corvane.Abacor\\Lisez-moi"), "C:\\Corvane.Abacor\\Lisez-moi.sav");
    EXPECT_EQ(nomsauvegarde("C:\\v1.2\\sub\\LISEZMOI"), "C:\\v1.2\\sub\\LISEZMOI.sav");
    EXPECT_EQ(nomtemporaire("C:\\Appli\\Prog.exe"), "C:\\Appli\\Prog.exe.~maj");
}

TEST(WebRules, OnlyTheRestOfTheSignedFileFollowsTheBytesKept)
{
    struct Case {
        unsigned long statut;
        const char* plage;
        std::optional<unsigned long long> longueur;
        Suite suite;
    } const cases[] = {
        {206, "bytes 900-999/1000", 100, Suite::ajoute},
        {206, "bytes 900-999/1000", std::nullopt, Suite::ajoute},
        {200, "", 1000, Suite::recommence},                         // a server that ignores Range
        {200, "bytes 900-999/1000", 1000, Suite::recommence},
        {206, "bytes 899-999/1000", 101, Suite::abandonne},         // not where the kept bytes end
        {206, "bytes 901-999/1000", 99, Suite::abandonne},
        {206, "bytes 900-998/1000", 99, Suite::abandonne},          // not to the end
        {206, "bytes 900-1099/1100", 200, Suite::abandonne},        // another file's total
        {206, "bytes 900-999/*", 100, Suite::abandonne},
        {206, "bytes 900-999/1000", 101, Suite::abandonne},         // a length that says otherwise
        {206, "", 100, Suite::abandonne},
        {206, "bytes 900-999/1000, 0-9/1000", 100, Suite::abandonne},
        {416, "bytes */1000", 0, Suite::abandonne},
        {404, "", 10, Suite::abandonne},
        {0, "", std::nullopt, Suite::abandonne},
    };
    for (const auto& c : cases) {
        Lecture l;
        l.statuthttp = c.statut;
        l.plage = c.plage;
        l.longueurannoncee = c.longueur;
        EXPECT_EQ(suitereprise(l, 900, 1000), c.suite) << c.statut << " " << c.plage;
    }
    Lecture encodee;
    encodee.statuthttp = 206;
    encodee.plage = "bytes 900-999/1000";
    encodee.encodee = true;
    EXPECT_EQ(suitereprise(encodee, 900, 1000), Suite::abandonne);
    for (const char* bad : {"bytes 9-8/10", "bytes 0-10/10", "bytes -1-2/3", "bytes 1-2/", "items 0-1/2", "bytes 0 -1/2"})
        EXPECT_FALSE(plagedepuis(bad)) << bad;
    EXPECT_EQ(nompartiel("C:\\Appli\\Prog.exe", std::string(64, 'a')), "C:\\Appli\\Prog.exe.aaaaaaaaaaaaaaaa.~prt");
    EXPECT_TRUE(nompartielde("Prog.exe.0123456789abcdef.~prt"));
    EXPECT_TRUE(nompartielde("C:\\Appli\\Prog.exe.~frm.0123456789abcdef.~prt"));
    for (const char* autre : {"Prog.exe.~maj", "Prog.exe.0123456789ABCDEF.~prt", "Prog.exe.0123456789abcdeg.~prt",
                              "Prog.exe-0123456789abcdef.~prt", "Notes.~prt", "0123456789abcdef.~prt"})
        EXPECT_FALSE(nompartielde(autre)) << autre;
}
