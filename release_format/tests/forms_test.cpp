// The list of a release's cheaper forms: written as read, bound to its manifest, and refused
// whole on every liberty (the files then come whole).
#include "example_release.h"
#include "forms.h"

#include <gtest/gtest.h>

using namespace tidewell;

namespace {

const std::string A(64, 'a'), B(64, 'b'), C(64, 'c'), M(64, 'e');

Manifeste manifeste()
{
    Manifeste m = exemples::manifeste();
    m.fichiers = {{"Prog.exe", 150000, A}, {"Aide.txt", 2000, B}};
    return m;
}

std::string texte(const std::string& lignes)
{
    return "Formes=1\r\nManifeste=" + M + "\r\nCle=1\r\n" + lignes;
}

}  // namespace

TEST(Forms, ReadsBackWhatItWritesAndNamesEachFormApart)
{
    Formes f;
    f.manifeste = M;
    f.cle = 1;
    f.fichiers.resize(2);
    f.fichiers[0].compresse = Contenu{9000, C};
    f.fichiers[0].deltas = {{{149000, B}, {300, C}}, {{148000, C}, {400, B}}};
    f.fichiers[1].deltas = {{{1999, C}, {20, A}}};
    const std::string t = ecritformes(f);
    const auto lu = lectureformes(t, manifeste(), M);
    ASSERT_TRUE(lu) << t;
    EXPECT_EQ(ecritformes(*lu), t);
    EXPECT_EQ(lu->fichiers[0].deltas[1].base, (Contenu{148000, C}));
    EXPECT_EQ(chemincompresse("Prog.exe"), "Formes/Prog.exe.zst");
    EXPECT_EQ(chemindelta("Prog.exe", B), "Formes/Prog.exe.bbbbbbbbbbbbbbbb.delta");
    // A file named like another's delta still has a compressed form of its own name.
    EXPECT_NE(chemincompresse("Prog.exe.bbbbbbbbbbbbbbbb.delta"), chemindelta("Prog.exe", B));
}

TEST(Forms, AnythingButTheListOfThisReleaseIsRefusedWhole)
{
    const std::string d = ";149000;" + B + ";300;" + C;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"another manifest's", "Formes=1\r\nManifeste=" + A + "\r\nCle=1\r\n"},
        {"another key's", "Formes=1\r\nManifeste=" + M + "\r\nCle=2\r\n"},
        {"a format to come", "Formes=2\r\nManifeste=" + M + "\r\nCle=1\r\n"},
        {"a manifest's text", "Format=1\r\nManifeste=" + M + "\r\nCle=1\r\n"},
        {"lines not ended by CR LF", "Formes=1\nManifeste=" + M + "\nCle=1\n"},
        {"an unknown line", texte("Patch=1" + d + "\r\n")},
        {"a file the manifest does not have", texte("Delta=3" + d + "\r\n")},
        {"file 0", texte("Delta=0" + d + "\r\n")},
        {"a rank with a leading zero", texte("Delta=01" + d + "\r\n")},
        {"files out of order", texte("Compresse=2;10;" + C + "\r\nCompresse=1;10;" + C + "\r\n")},
        {"a file compressed twice", texte("Compresse=1;10;" + C + "\r\nCompresse=1;11;" + C + "\r\n")},
        {"compressed after its deltas", texte("Delta=1" + d + "\r\nCompresse=1;10;" + C + "\r\n")},
        {"a delta from the file itself", texte("Delta=1;150000;" + A + ";300;" + C + "\r\n")},
        {"two deltas under one name", texte("Delta=1" + d + "\r\nDelta=1;1;" + B + ";3;" + C + "\r\n")},
        {"a hash in capitals", texte("Compresse=1;10;" + std::string(64, 'C') + "\r\n")},
        {"a size with a sign", texte("Compresse=1;+10;" + C + "\r\n")},
        {"a delta missing its form", texte("Delta=1;149000;" + B + "\r\n")},
    };
    for (const auto& [what, t] : cases)
        EXPECT_FALSE(lectureformes(t, manifeste(), M)) << what;
    std::string neuf;
    for (int i = 0; i < 9; ++i)
        neuf += "Delta=1;" + std::to_string(i) + ";" + std::to_string(i) + std::string(63, 'b') + ";3;" + C + "\r\n";
    EXPECT_FALSE(lectureformes(texte(neuf), manifeste(), M)) << "more deltas than any maker keeps releases";
    EXPECT_TRUE(lectureformes(texte(neuf.substr(neuf.find("Delta=1;1;"))), manifeste(), M));
    EXPECT_TRUE(lectureformes(texte(""), manifeste(), M)) << "a release that offers no form";
}
