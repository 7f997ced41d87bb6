// The order in which a signed run tries the ways to bring a file.
#include "file_ways.h"

#include <gtest/gtest.h>

using namespace tidewell;

TEST(FileWays, CheapestFirstAndThePlainFileLast)
{
    const std::string A(64, 'a'), B(64, 'b'), C(64, 'c'), D(64, 'd');
    const Empreinte fichier{"Prog.exe", 1000, A};
    FormesFichier formes;
    formes.compresse = Contenu{400, D};
    formes.deltas = {{{900, B}, {30, D}}, {{800, C}, {40, D}}};
    using S = Voie::Sorte;
    struct Case {
        const char* what;
        const FormesFichier* formes;
        std::optional<Contenu> local;
        std::vector<S> attendues;
        std::string premier;
    };
    const std::vector<Case> cases = {
        {"already in place", &formes, Contenu{1000, A}, {S::enplace}, ""},
        {"in place, no forms offered", nullptr, Contenu{1000, A}, {S::enplace}, ""},
        {"the second delta's base", &formes, Contenu{800, C}, {S::delta, S::compresse, S::entier},
         "Formes/Prog.exe.cccccccccccccccc.delta"},
        {"a base's size, other bytes", &formes, Contenu{800, B}, {S::compresse, S::entier}, "Formes/Prog.exe.zst"},
        {"no local copy", &formes, std::nullopt, {S::compresse, S::entier}, "Formes/Prog.exe.zst"},
        {"no forms offered", nullptr, Contenu{800, C}, {S::entier}, "Maj/Prog.exe"},
    };
    // A delta from a base larger than the decoder takes is never tried, whatever the list says.
    FormesFichier grand = formes;
    grand.deltas[0].base.taille = tailledeltamax + 1;
    const Empreinte enorme{"Prog.exe", tailledeltamax + 1, A};
    const std::vector<Case> bornes = {
        {"a base above the bound", &grand, Contenu{tailledeltamax + 1, B}, {S::compresse, S::entier}, "Formes/Prog.exe.zst"},
    };
    for (const auto& c : bornes) {
        std::vector<S> sortes;
        for (const auto& w : voies(fichier, c.formes, c.local))
            sortes.push_back(w.sorte);
        EXPECT_EQ(sortes, c.attendues) << c.what;
    }
    EXPECT_EQ(voies(enorme, &formes, Contenu{800, C}).front().sorte, S::compresse) << "a file above the bound";
    for (const auto& c : cases) {
        const auto v = voies(fichier, c.formes, c.local);
        std::vector<S> sortes;
        for (const auto& w : v)
            sortes.push_back(w.sorte);
        EXPECT_EQ(sortes, c.attendues) << c.what;
        EXPECT_EQ(v.front().chemin, c.premier) << c.what;
        if (v.back().sorte == S::entier) {
            EXPECT_EQ(v.back().forme, (Contenu{1000, A})) << c.what;
        }
    }
    // The updater a release offers lies under a folder of its own, its forms too.
    std::vector<std::string> outil;
    for (const auto& w : voies(fichier, &formes, Contenu{900, B}, "Outil/"))
        outil.push_back(w.chemin);
    EXPECT_EQ(outil, (std::vector<std::string>{"Outil/Formes/Prog.exe.bbbbbbbbbbbbbbbb.delta", "Outil/Formes/Prog.exe.zst",
                                               "Outil/Prog.exe"}));
    // Only a size that a way could use makes the local copy worth reading.
    EXPECT_TRUE(localautile(fichier, nullptr, 1000));
    EXPECT_TRUE(localautile(fichier, &formes, 800));
    EXPECT_FALSE(localautile(fichier, &formes, 700));
    EXPECT_FALSE(localautile(fichier, nullptr, 800));
}
