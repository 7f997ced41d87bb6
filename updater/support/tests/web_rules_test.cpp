// What counts as a missing page or a whole body, and where backups and downloads are kept.
#include "web_rules.h"

#include <gtest/gtest.h>

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
    Lecture ok;
    ok.statuthttp = 200;
    EXPECT_EQ(statutpage(ok, "Prog.exe\r\n"), pagelue);
    EXPECT_EQ(statutpage(ok, ""), pagelue);   // an empty page is present
    EXPECT_EQ(statutpage(ok, "ERROR 404"), pagemanquante);

    Lecture notfound = ok;
    notfound.statuthttp = 404;
    EXPECT_EQ(statutpage(notfound, "<h1>Not Found</h1>"), pagemanquante);
    notfound.statuthttp = 500;
    EXPECT_EQ(statutpage(notfound, "oops"), pagemanquante);

    Lecture cut = ok;
    cut.longueurannoncee = 100;
    EXPECT_EQ(statutpage(cut, std::string(40, 'x')), pagemanquante);
    EXPECT_EQ(statutpage(cut, std::string(100, 'x')), pagelue);
    Lecture failed = ok;
    failed.echeclecture = true;
    EXPECT_EQ(statutpage(failed, "Prog.exe"), pagemanquante);
    Lecture huge = ok;
    huge.tropgrand = true;
    EXPECT_EQ(statutpage(huge, ""), pagemanquante);
}

TEST(WebRules, AWholeBodyNeedsSuccessAndTheAnnouncedLength)
{
    Lecture l;
    l.statuthttp = 200;
    EXPECT_TRUE(corpscomplet(l, 12345));   // no length announced: the end of the body decides
    l.longueurannoncee = 12345;
    EXPECT_TRUE(corpscomplet(l, 12345));
    EXPECT_FALSE(corpscomplet(l, 12344));
    l.statuthttp = 404;
    EXPECT_FALSE(corpscomplet(l, 12345));
    l.statuthttp = 200;
    l.echeclecture = true;
    EXPECT_FALSE(corpscomplet(l, 12345));
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
