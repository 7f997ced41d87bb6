// The run's rules that need no Windows API: the command word, the not-found message and the
// window model's behaviour.
#include "command_word.h"
#include "main_design.h"
#include "run_texts.h"
#include "manifest.h"
#include "self_update_rules.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tidewell;

TEST(CommandWord, OnlyTheWordInstallSuppressesTheRestart)
{
    for (const char* arguments : {"INSTALL", "install", "  InStAlL  ", "Install "})
        EXPECT_EQ(relancerpour(arguments), 0) << arguments;
    for (const char* arguments : {"", "INSTALL NOW", "INSTALLER", "/INSTALL", "\tINSTALL",
                                  "INSTALL\t", "I N S T A L L"})
        EXPECT_EQ(relancerpour(arguments), 1) << arguments;
}

TEST(CommandWord, ArgumentsFollowTheProgramsOwnName)
{
    EXPECT_EQ(argumentsdelaligne("C:\\Appli\\Tidewell.exe INSTALL"), "INSTALL");
    EXPECT_EQ(argumentsdelaligne("\"C:\\Mes Programmes\\Tidewell.exe\"  install "), "install ");
    EXPECT_EQ(argumentsdelaligne("\"C:\\Mes Programmes\\Tidewell.exe\""), "");
    EXPECT_EQ(argumentsdelaligne("Tidewell.exe"), "");
    EXPECT_EQ(argumentsdelaligne("Tidewell.exe\tINSTALL"), "INSTALL");
    // The name of a folder with INSTALL in it is not the command word.
    EXPECT_EQ(relancerpour(argumentsdelaligne("\"C:\\INSTALL\\Tidewell.exe\"")), 1);
    EXPECT_EQ(relancerpour(argumentsdelaligne("\"C:\\A B\\Tidewell.exe\" INSTALL")), 0);
}

// A newer updater is started for one of its two roles by exact words only; anything else is an
// update run, as an older build takes every word it does not know.
TEST(CommandWord, OnlyTheExactWordsStartANewUpdatersRoles)
{
    using R = Appel::Role;
    const std::vector<std::tuple<const char*, R, std::uint64_t>> cases = {
        {"TIDEWELL-QUALIFIE 2", R::qualification, 2},
        {" TIDEWELL-QUALIFIE 2 ", R::qualification, 2},
        {"TIDEWELL-RELAIS 1234", R::relais, 1234},
        {"TIDEWELL-QUALIFIE", R::execution, 0},
        {"tidewell-qualifie 2", R::execution, 0},
        {"TIDEWELL-QUALIFIE INSTALL", R::execution, 0},
        {"TIDEWELL-RELAIS", R::execution, 0},
        {"TIDEWELL-RELAIS 0", R::execution, 0},
        {"TIDEWELL-RELAIS 012", R::execution, 0},
        {"TIDEWELL-RELAIS -5", R::execution, 0},
        {"TIDEWELL-RELAIS 12 13", R::execution, 0},
        {"TIDEWELL-RELAIS 99999999999999999999999", R::execution, 0},
        {"INSTALL 2", R::execution, 0},
        {"TIDEWELL-QUALIFIE 2 1:ab 2:cd", R::qualification, 2},
        {"TIDEWELL-RELAIS 12 1:ab", R::execution, 0},
    };
    EXPECT_EQ(appeldepuis("TIDEWELL-QUALIFIE 2 1:ab 2:cd").cles, "1:ab 2:cd");
    EXPECT_EQ(appeldepuis("TIDEWELL-QUALIFIE 2").cles, "");
    for (const auto& [arguments, role, nombre] : cases) {
        const Appel a = appeldepuis(arguments);
        EXPECT_EQ(a.role, role) << arguments;
        if (role != R::execution) {
            EXPECT_EQ(a.nombre, nombre) << arguments;
        }
    }
}

// What the running updater gives the new one comes back byte for byte, within the bounds of
// what it stands for.
TEST(SelfUpdate, TheReleaseGivenToANewUpdaterIsReadBackExactly)
{
    const Qualification q{"Format=1\r\nCible=ABACOR\r\n", "Cle=1\r\nSignature=ab\r\n"};
    const auto lu = lecturequalification(ecritqualification(q));
    ASSERT_TRUE(lu);
    EXPECT_EQ(lu->manifeste, q.manifeste);
    EXPECT_EQ(lu->signature, q.signature);
    for (const std::string& refuse : std::vector<std::string>{
             std::string(), "Cle=1\r\nSignature=ab", "Cle=1\r\n" + std::string(taillemaxsignature, 's') + "\r\n",
             q.signature + std::string(taillemaxmanifeste + 1, 'm')})
        EXPECT_FALSE(lecturequalification(refuse)) << refuse.substr(0, 60);
}

TEST(NotFoundMessage, HeaderRuleAndSentenceByLanguage)
{
    const std::string entete = "Information : \r\n" + std::string(45, '_') + "\r\n\r\n";
    EXPECT_EQ(messageintrouvable(1, "\r\n"),
              entete + "Application \xE0 mettre \xE0 jour Introuvable ... ");
    EXPECT_EQ(messageintrouvable(0, "\r\n"), messageintrouvable(1, "\r\n"));
    EXPECT_EQ(messageintrouvable(2, "\r\n"), entete + "Application to update Not found ... ");
    EXPECT_EQ(messageintrouvable(3, "\r\n"), entete);
}

namespace {

// Every character 100 twips wide, one line 195 high.
struct MesureFixe : Mesureur {
    Rect mesure(const Police&, const std::string& texte) override
    {
        return {0, 0, 100.0 * static_cast<double>(texte.size()), 195};
    }
};

}  // namespace

TEST(WindowModel, LabelsSizeToTheirTextFromAFixedCorner)
{
    ModeleMain m;
    MesureFixe mesure;
    m.texte(Element::libelles1, "Fichier : un-nom-tres-long.dll", mesure);
    const Rect r = m.element(Element::libelles1).place;
    EXPECT_EQ(r.gauche, 2280);
    EXPECT_EQ(r.haut, 600);
    EXPECT_EQ(r.largeur, 3000);
    EXPECT_EQ(r.hauteur, 195);
    m.texte(Element::libelles1, "", mesure);
    EXPECT_EQ(m.element(Element::libelles1).place.largeur, 0);   // covers nothing
    EXPECT_EQ(m.element(Element::libelles1).place.gauche, 2280);
}

TEST(WindowModel, ThePercentageLabelKeepsItsDesignSize)
{
    ModeleMain m;
    MesureFixe mesure;
    m.texte(Element::lib_affpct, "T\xE9l\xE9" "chargement Termin\xE9", mesure);
    const Rect r = m.element(Element::lib_affpct).place;
    EXPECT_EQ(r.largeur, 4740);
    EXPECT_EQ(r.hauteur, 195);
    EXPECT_TRUE(m.element(Element::lib_affpct).centre);
}

TEST(WindowModel, DesignTextsAreTheSystemsOwnBytes)
{
    ModeleMain m;
    EXPECT_STREQ(titredesign, "  T\xE9l\xE9" "chargement");
    EXPECT_EQ(m.element(Element::libelles0).texte, "T\xE9l\xE9" "chargement en cours :");
    EXPECT_EQ(m.element(Element::libelles4).texte, "Dur\xE9" "e Estim\xE9" "e : ");
    EXPECT_EQ(m.element(Element::lib_affpct).texte, "%");
    EXPECT_EQ(m.element(Element::libelles2).police.poids, 700);
    EXPECT_EQ(m.element(Element::libelles3).police.poids, 400);
}

TEST(WindowModel, BringingThePercentageToTheFrontPutsItOverTheBar)
{
    ModeleMain m;
    EXPECT_EQ(m.ordreauge(), (std::vector<Element>{Element::lib_affpct, Element::lib_pct}));
    m.premierplan(Element::lib_affpct);
    EXPECT_EQ(m.ordreauge(), (std::vector<Element>{Element::lib_pct, Element::lib_affpct}));
    m.premierplan(Element::lib_affpct);   // already in front: nothing moves
    EXPECT_EQ(m.ordreauge(), (std::vector<Element>{Element::lib_pct, Element::lib_affpct}));
    // The window's own order is untouched.
    EXPECT_EQ(m.ordrefenetre().back(), Element::img_pourcent);
    EXPECT_EQ(m.ordrefenetre().front(), Element::icones0);
}

TEST(WindowModel, TheBarNeverTakesANegativeWidth)
{
    ModeleMain m;
    m.largeur(Element::lib_pct, -15);
    EXPECT_EQ(m.element(Element::lib_pct).place.largeur, 0);
    m.largeur(Element::lib_pct, 4815);
    EXPECT_EQ(m.element(Element::lib_pct).place.largeur, 4815);
}

TEST(RefusalMessage, TheReasonCodeChoosesTheSentenceAndEndsTheMessage)
{
    const std::string verified = "La mise \xE0 jour n'a pas pu \xEAtre v\xE9rifi\xE9" "e : aucun fichier n'a \xE9t\xE9 "
                                 "modifi\xE9.\r\nThe update could not be verified: no file was changed.\r\n\r\n";
    const std::string installed = "La mise \xE0 jour n'a pas pu \xEAtre install\xE9" "e : aucun fichier n'a \xE9t\xE9 "
                                  "modifi\xE9.\r\nThe update could not be installed: no file was changed.\r\n\r\n";
    const std::string undone = "Une mise \xE0 jour interrompue n'a pas pu \xEAtre achev\xE9" "e : ce sera tent\xE9 "
                               "de nouveau \xE0 la prochaine mise \xE0 jour.\r\nAn interrupted update could not be "
                               "completed: this will be tried again at the next update.\r\n\r\n";
    for (const auto& [code, sentence] : std::vector<std::pair<std::string, std::string>>{
             {"S1", verified}, {"M10", verified}, {"F50", verified}, {"P1", installed}, {"I3", installed},
             {"R2", undone}})
        EXPECT_EQ(messagerefus(code, "\r\n"), sentence + "Code : " + code) << code;
}

// A file another program still held when the install came is named in its refusal, with the
// program where the platform told it; no other refusal names one.
TEST(RefusalMessage, AnInstallRefusedForAHeldFileNamesItAndItsHolder)
{
    const std::string held = "\r\n\r\nAbacor.exe utilise encore A.dll.\r\nAbacor.exe is still using A.dll.\r\n\r\n";
    const std::string unknown =
        "\r\n\r\nUn autre programme utilise encore A.dll.\r\nAnother program is still using A.dll.\r\n\r\n";
    const std::string i2 = messagerefus("I2", "\r\n", {"A.dll", "Abacor.exe", 2});
    EXPECT_EQ(i2.substr(i2.find("\r\n\r\n")), held + "Code : I2");
    const std::string anyone = messagerefus("I2", "\r\n", {"A.dll", "", 2});
    EXPECT_EQ(anyone.substr(anyone.find("\r\n\r\n")), unknown + "Code : I2");
    // Another file's refusal, the journal's, or any other, blames no program.
    for (const char* code : {"I0", "I1", "I12", "I20", "P1", "R2", "S1"})
        EXPECT_EQ(messagerefus(code, "\r\n", {"A.dll", "Abacor.exe", 2}), messagerefus(code, "\r\n")) << code;
}
