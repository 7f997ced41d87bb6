// The support library's rules that need no Windows API.
#include "paths.h"
#include "placement.h"
#include "profile.h"
#include "rounding.h"
#include "text.h"
#include "twips.h"
#include "wait_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace libmaj;
using namespace std::string_literals;

TEST(Arrondi, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(arrondi(2.5), 2.0);
    EXPECT_EQ(arrondi(3.5), 4.0);
    EXPECT_EQ(arrondi(-2.5), -2.0);
    EXPECT_EQ(arrondi(-3.5), -4.0);
    EXPECT_EQ(arrondi(0.5), 0.0);
    EXPECT_EQ(arrondi(1.5), 2.0);
    EXPECT_EQ(arrondi(2.4999), 2.0);
    EXPECT_EQ(arrondi(2.5001), 3.0);
    EXPECT_EQ(arrondi(-0.4), 0.0);
    EXPECT_EQ(arrondi32(30.72), 31);
    EXPECT_EQ(arrondi32(307.2), 307);
}

TEST(Arrondi, SaturatesOutsideThe32BitRange)
{
    EXPECT_EQ(arrondi32(1e300), 2147483647);
    EXPECT_EQ(arrondi32(-1e300), -2147483647 - 1);
    EXPECT_EQ(arrondi32(0.0 / 0.0), 0);
}

TEST(Texte, TrimsSpacesOnly)
{
    EXPECT_EQ(sansespaces("  a b  "), "a b");
    EXPECT_EQ(sansespaces("   "), "");
    EXPECT_EQ(sansespaces("\tx\t"), "\tx\t");
}

TEST(Texte, UpperCasesCodePage1252)
{
    EXPECT_EQ(majuscules("abacor"), "ABACOR");
    // é à œ ÿ ÷ in code page 1252 become É À Œ Ÿ and ÷ stays.
    EXPECT_EQ(majuscules("\xE9\xE0\x9C\xFF\xF7"), "\xC9\xC0\x8C\x9F\xF7");
}

TEST(Formatchemin, NormalisesFolderPaths)
{
    struct Cas { std::string entree, attendu; };
    const std::vector<Cas> cas = {
        {"  c:\\Programmes\\Appli\\ ", "C:\\Programmes\\Appli"},
        {"c:\\", "C:"},
        {"\\\\serveur\\partage\\", "\\\\serveur\\partage"},
        {"c\\", "c"},
        {"", ""},
        {"    ", ""},
        {"\\", "\\"},
        {"d", "d"},
        {"d:\\dossier\\\\", "D:\\dossier\\"},
        {"c:\\a\\\0"s, "C:\\a"},
        {"c:\\appli", "C:\\appli"},
    };
    for (const auto& c : cas) {
        std::string chemin = c.entree;
        formatchemin(chemin);
        EXPECT_EQ(chemin, c.attendu) << "for \"" << c.entree << "\"";
    }
}

namespace {

// A profile reader that behaves as the platform's: copies the stored value cut to size - 1
// and a NUL into the start of the buffer, leaving the rest of it alone.
struct FauxLecteur {
    std::string stocke;
    int* appels;
    unsigned long operator()(const char*, const char*, char* tampon, unsigned long taille,
                             const char*) const
    {
        ++*appels;
        const std::size_t n = std::min<std::size_t>(stocke.size(), taille - 1);
        std::memcpy(tampon, stocke.data(), n);
        tampon[n] = '\0';
        return static_cast<unsigned long>(n);
    }
};

}  // namespace

TEST(Lectureini, CutsAtBufferSizeMinusOne)
{
    int appels = 0;
    std::string valeur;
    EXPECT_EQ(lectureini("a.ini", "S", "K", 20, valeur, FauxLecteur{"abcdef", &appels}), 1);
    EXPECT_EQ(valeur, "abcdef");
    EXPECT_EQ(lectureini("a.ini", "S", "K", 5, valeur, FauxLecteur{"abcdef", &appels}), 1);
    EXPECT_EQ(valeur, "abcd");
    EXPECT_EQ(lectureini("a.ini", "S", "K", 7, valeur, FauxLecteur{"abcdef", &appels}), 1);
    EXPECT_EQ(valeur, "abcdef");
}

TEST(Lectureini, CurrencySignsBecomeDoubleQuotes)
{
    int appels = 0;
    std::string valeur;
    EXPECT_EQ(lectureini("a.ini", "S", "K", 20, valeur, FauxLecteur{"\xA4x\xA4", &appels}), 1);
    EXPECT_EQ(valeur, "\"x\"");
    EXPECT_EQ(lectureini("a.ini", "S", "K", 20, valeur, FauxLecteur{"a\xA4\xA4 b", &appels}), 1);
    EXPECT_EQ(valeur, "a\"\" b");
}

TEST(Lectureini, NothingReadGivesEmptyAndZero)
{
    int appels = 0;
    std::string valeur = "ancienne";
    EXPECT_EQ(lectureini("a.ini", "S", "K", 20, valeur, FauxLecteur{"", &appels}), 0);
    EXPECT_EQ(valeur, "");
    EXPECT_EQ(appels, 1);
}

TEST(Lectureini, EmptyPathOrSizeBelowOneNeverReachesTheReader)
{
    int appels = 0;
    std::string valeur = "ancienne";
    EXPECT_EQ(lectureini("", "S", "K", 20, valeur, FauxLecteur{"x", &appels}), 0);
    EXPECT_EQ(valeur, "");
    valeur = "ancienne";
    EXPECT_EQ(lectureini("a.ini", "S", "K", 0, valeur, FauxLecteur{"x", &appels}), 0);
    EXPECT_EQ(valeur, "");
    EXPECT_EQ(lectureini("a.ini", "S", "K", -3, valeur, FauxLecteur{"x", &appels}), 0);
    EXPECT_EQ(appels, 0);
    // A path of spaces is not trimmed away: it goes on to the reader.
    lectureini("  ", "S", "K", 20, valeur, FauxLecteur{"x", &appels});
    EXPECT_EQ(appels, 1);
}

namespace {

struct FormeEnregistree : Forme {
    std::vector<std::string> appels;
    void largeur(double t) override { appels.push_back("largeur " + std::to_string(t)); }
    void hauteur(double t) override { appels.push_back("hauteur " + std::to_string(t)); }
    void gauche(double t) override { appels.push_back("gauche " + std::to_string(t)); }
    void haut(double t) override { appels.push_back("haut " + std::to_string(t)); }
};

std::vector<std::string> placements(Ecran ecran, std::int16_t l, std::int16_t h)
{
    FormeEnregistree f;
    centrefenetre(f, ecran, l, h);
    return f.appels;
}

}  // namespace

TEST(Centrefenetre, SizesThenCentres)
{
    EXPECT_EQ(placements({15360, 11520}, 7500, 2850),
              (std::vector<std::string>{"largeur 7500.000000", "hauteur 2850.000000",
                                        "gauche 3930.000000", "haut 4335.000000"}));
    // Half twips are kept; the screen itself is read as whole twips, halves to even.
    EXPECT_EQ(placements({15361, 11520.5}, 7500, 2851),
              (std::vector<std::string>{"largeur 7500.000000", "hauteur 2851.000000",
                                        "gauche 3930.500000", "haut 4334.500000"}));
}

TEST(Centrefenetre, NeverPlacesAtANegativePosition)
{
    EXPECT_EQ(placements({6000, 11520}, 7500, 2850),
              (std::vector<std::string>{"largeur 7500.000000", "hauteur 2850.000000",
                                        "gauche -750.000000", "haut 4335.000000",
                                        "gauche 0.000000"}));
    EXPECT_EQ(placements({15360, 2000}, 7500, 2850).back(), "haut 0.000000");
    // An unreadable screen counts as 0 twips: the window goes to the top-left corner.
    const auto p = placements({0, 0}, 7500, 2850);
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[4], "gauche 0.000000");
    EXPECT_EQ(p[5], "haut 0.000000");
}

TEST(Twips, FollowTheScreenResolution)
{
    EXPECT_EQ(twipsenpixels(7500, 96), 500);
    EXPECT_EQ(twipsenpixels(7500, 120), 625);
    EXPECT_EQ(twipsenpixels(7500, 144), 750);
    EXPECT_EQ(twipsenpixels(3930.5, 96), 262);   // 262.03
    EXPECT_DOUBLE_EQ(pixelsentwips(1280, 96), 19200);
}

namespace {

struct Deroulement {
    std::vector<double> horloge;   // successive clock readings
    std::size_t lu = 0;
    int cedes = 0;
    std::vector<double> sommeils;

    void attend(float duree)
    {
        attendre(
            duree, [this] { return horloge.at(lu++); }, [this] { ++cedes; },
            [this](double s) { sommeils.push_back(s); });
    }
};

}  // namespace

TEST(Attente, NegativeDurationReturnsWithoutYielding)
{
    Deroulement d;
    d.attend(-0.1f);
    EXPECT_EQ(d.cedes, 0);
    EXPECT_TRUE(d.sommeils.empty());
    EXPECT_EQ(d.lu, 0u);
}

TEST(Attente, EndsAtTheFirstTurnStrictlyPastTheDuration)
{
    Deroulement d;
    d.horloge = {100.0, 100.25, 100.5, 100.5000001};
    d.attend(0.5f);
    EXPECT_EQ(d.cedes, 3);   // exactly 0.5 elapsed is not yet more than 0.5
    ASSERT_EQ(d.sommeils.size(), 2u);
    EXPECT_DOUBLE_EQ(d.sommeils[0], 0.25);
    EXPECT_DOUBLE_EQ(d.sommeils[1], 0.0);
}

TEST(Attente, ZeroWaitsForTheClockToAdvanceOnce)
{
    Deroulement d;
    d.horloge = {7.0, 7.0, 7.0, 7.001};
    d.attend(0.0f);
    EXPECT_EQ(d.cedes, 3);
}
