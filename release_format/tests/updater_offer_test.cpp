// The offer of a new updater: written as read, bound to its manifest and key, and refused
// whole on every liberty (no updater is then offered).
#include "example_release.h"
#include "updater_offer.h"

#include <gtest/gtest.h>

using namespace tidewell;

namespace {

const std::string A(64, 'a'), B(64, 'b'), C(64, 'c'), M(64, 'e');

std::string texte(const std::string& suite, const std::string& revision = "7", const std::string& programme = "400000;" + A)
{
    return "Offre=1\r\nManifeste=" + M + "\r\nCle=1\r\nRevision=" + revision + "\r\nProgramme=" + programme + "\r\n"
           + suite;
}

}  // namespace

TEST(UpdaterOffer, ReadsBackWhatItWritesUnderAFolderOfItsOwn)
{
    Offre o;
    o.manifeste = M;
    o.cle = 1;
    o.revision = 7;
    o.programme = {400000, A};
    o.formes.compresse = Contenu{200000, B};
    o.formes.deltas = {{{390000, B}, {3000, C}}, {{380000, C}, {9000, B}}};
    const std::string t = ecritoffre(o);
    EXPECT_EQ(t, texte("Compresse=200000;" + B + "\r\nDelta=390000;" + B + ";3000;" + C + "\r\nDelta=380000;" + C
                       + ";9000;" + B + "\r\n"));
    const auto lu = lectureoffre(t, exemples::manifeste(), M);
    ASSERT_TRUE(lu) << t;
    EXPECT_EQ(ecritoffre(*lu), t);
    EXPECT_TRUE(lectureoffre(texte(""), exemples::manifeste(), M));
    EXPECT_EQ(cheminprogramme(), "Outil/Tidewell.exe");
    EXPECT_EQ(cheminprogrammecompresse(), "Outil/Formes/Tidewell.exe.zst");
    EXPECT_EQ(cheminprogrammedelta(B), "Outil/Formes/Tidewell.exe.bbbbbbbbbbbbbbbb.delta");
}

TEST(UpdaterOffer, AnythingButAnOfferOfThisReleaseIsRefusedWhole)
{
    const std::string d = "Delta=390000;" + B + ";3000;" + C + "\r\n";
    std::string huit;
    for (char c = '0'; c < '9'; ++c)
        huit += "Delta=390000;" + std::string(16, c) + std::string(48, 'b') + ";3000;" + C + "\r\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"another manifest's", "Offre=1\r\nManifeste=" + A + "\r\nCle=1\r\nRevision=7\r\nProgramme=400000;" + A + "\r\n"},
        {"another key's", "Offre=1\r\nManifeste=" + M + "\r\nCle=2\r\nRevision=7\r\nProgramme=400000;" + A + "\r\n"},
        {"a format to come", "Offre=2\r\nManifeste=" + M + "\r\nCle=1\r\nRevision=7\r\nProgramme=400000;" + A + "\r\n"},
        {"lines not ended by CR LF", "Offre=1\nManifeste=" + M + "\nCle=1\nRevision=7\nProgramme=400000;" + A + "\n"},
        {"no program", "Offre=1\r\nManifeste=" + M + "\r\nCle=1\r\nRevision=7\r\n"},
        {"revision 0", texte("", "0")},
        {"a revision with a leading zero", texte("", "07")},
        {"a revision above the highest", texte("", "1000000000")},
        {"a program above the bound", texte("", "7", "8388609;" + A)},
        {"a program with a name", texte("", "7", "Tidewell.exe;400000;" + A)},
        {"a short hash", texte("", "7", "400000;" + A.substr(1))},
        {"an unknown line", texte("Patch=3000;" + C + "\r\n")},
        {"a compressed form after a delta", texte(d + "Compresse=200000;" + B + "\r\n")},
        {"two compressed forms", texte("Compresse=200000;" + B + "\r\nCompresse=200000;" + B + "\r\n")},
        {"a delta from the program itself", texte("Delta=400000;" + A + ";3000;" + C + "\r\n")},
        {"two deltas under one name", texte(d + "Delta=1;" + B + ";3000;" + C + "\r\n")},
        {"more deltas than a file may have", texte(huit)},
        {"a delta with one content", texte("Delta=390000;" + B + "\r\n")},
    };
    for (const auto& [what, t] : cases)
        EXPECT_FALSE(lectureoffre(t, exemples::manifeste(), M)) << what;
}
