// What a build with keys decides from a manifest whose signature verified, and the record it
// keeps between runs.
#include "release_check.h"

#include "example_release.h"

#include <gtest/gtest.h>

using namespace tidewell;

namespace {

using exemples::H;

Manifeste exemple()
{
    return exemples::manifeste();
}

}  // namespace

TEST(SignedState, TheRecordRoundTripsAndAnythingElseFallsBackToTheFloor)
{
    const EtatSigne e{editionmax, 2};
    const auto lu = lectureetat(ecritetat(e));
    ASSERT_TRUE(lu);
    EXPECT_EQ(lu->edition, e.edition);
    EXPECT_EQ(lu->cle, 2);
    for (const char* bad : {"", "Edition=5\r\nCle=1", "Edition=5\r\nCle=0\r\n", "Edition=05\r\nCle=1\r\n",
                                   "Edition=5\nCle=1\r\n", "Cle=1\r\nEdition=5\r\n", "Edition=5\r\nCle=1\r\nX\r\n",
                                   "Edition=18446744073709551616\r\nCle=1\r\n",
                                   // above any release a manifest may carry: it would hold back every later one
                                   "Edition=1000000000\r\nCle=1\r\n", "Edition=18446744073709551615\r\nCle=1\r\n"})
        EXPECT_FALSE(lectureetat(bad)) << bad;
    const EtatSigne plancher = minimumrequis(lectureetat("garbage"), 3);
    EXPECT_EQ(plancher.edition, 3u);
    EXPECT_EQ(plancher.cle, 0);
    EXPECT_EQ(minimumrequis(EtatSigne{2, 1}, 3).edition, 3u);   // a record below the floor
    EXPECT_EQ(minimumrequis(EtatSigne{9, 2}, 3).edition, 9u);
    EXPECT_EQ(minimumrequis(EtatSigne{9, 2}, 3).cle, 2);
}

TEST(SignedState, AManifestIsCheckedAgainstItsSignatureTheApplicationAndTheRecord)
{
    const Manifeste m = exemple();   // release 12 by key 1, valid through 2027-12-07
    const EtatSigne vu{12, 1};
    EXPECT_EQ(refusmanifeste(m, 1, "ABACOR", vu, "2027-12-07"), "");
    EXPECT_EQ(refusmanifeste(m, 2, "ABACOR", vu, "2027-12-07"), "S4");
    EXPECT_EQ(refusmanifeste(m, 1, "QUILLON", vu, "2027-12-07"), "S5");
    EXPECT_EQ(refusmanifeste(m, 1, "ABACOR", EtatSigne{12, 2}, "2027-12-07"), "S6");
    EXPECT_EQ(refusmanifeste(m, 1, "ABACOR", EtatSigne{13, 1}, "2027-12-07"), "S7");
    EXPECT_EQ(refusmanifeste(m, 1, "ABACOR", vu, "2027-12-08"), "S8");

    ListeFichiers liste = lectureliste("Prog.exe\r\nAide-Index.htm\r\n");
    EXPECT_TRUE(listeconforme(m, liste));
    EXPECT_TRUE(listeconforme(m, listedepuis(m)));
    EXPECT_FALSE(listeconforme(m, lectureliste("Aide-Index.htm\r\nProg.exe\r\n")));
    EXPECT_FALSE(listeconforme(m, lectureliste("Prog.exe\r\nAide-Index.htm\r\nAutre.dll\r\n")));
    EXPECT_FALSE(listeconforme(m, lectureliste("Prog.exe\r\nAIDE-INDEX.htm\r\n")));
}
