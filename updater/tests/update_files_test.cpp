// The update's files, progress and estimate, from the examples the system is known by.
#include "decimal.h"
#include "progress.h"
#include "run_texts.h"
#include "update_files.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <random>

using namespace tidewell;

TEST(NumberReading, LeadingNumericPartWithPointAndExponent)
{
    EXPECT_EQ(lecturenombre("2048"), 2048);
    EXPECT_EQ(lecturenombre("2 048"), 2048);
    EXPECT_EQ(lecturenombre(" \t\n 12.5kB"), 12.5);
    EXPECT_EQ(lecturenombre("-1.5"), -1.5);
    EXPECT_EQ(lecturenombre("- 3"), -3);
    EXPECT_EQ(lecturenombre("+7"), 7);
    EXPECT_EQ(lecturenombre(".5"), 0.5);
    EXPECT_EQ(lecturenombre("1.5.3"), 1.5);
    EXPECT_EQ(lecturenombre("2,5"), 2);       // "," is not the decimal point
    EXPECT_EQ(lecturenombre("1e3"), 1000);
    EXPECT_EQ(lecturenombre("1 E 2"), 100);
    EXPECT_EQ(lecturenombre("2e"), 2);
    EXPECT_EQ(lecturenombre("abc"), 0);
    EXPECT_EQ(lecturenombre(""), 0);
    EXPECT_EQ(lecturenombre("-"), 0);
    EXPECT_EQ(lecturenombre("e5"), 0);
    EXPECT_EQ(lecturenombre("2048\r\n"), 2048);   // a carriage return ends the number
    // Out of range: the number's size decides, not the exponent's sign.
    EXPECT_EQ(lecturenombre("2" + std::string(308, '0') + "e-0"), HUGE_VAL);
    EXPECT_EQ(lecturenombre("-0." + std::string(330, '0') + "1"), 0);
    EXPECT_EQ(lecturenombre("0.001e-400"), 0);
    EXPECT_EQ(lecturenombre("1e400"), HUGE_VAL);
    EXPECT_EQ(lecturenombre("-1" + std::string(20, '0') + "e99999999999999999999"), -HUGE_VAL);
    EXPECT_EQ(lecturenombre("0." + std::string(400, '0') + "1e500"), 1e99);
    // Long pages of digits: read whole and quickly, rounded by all of them.
    EXPECT_EQ(lecturenombre("1" + std::string(20000, '0') + "e-20001"), 0.1);
    EXPECT_EQ(lecturenombre("1." + std::string(1000000, '3')), 4.0 / 3.0);
    EXPECT_EQ(lecturenombre("9007199254740993"), 9007199254740992.0);   // halfway: to even
    EXPECT_EQ(lecturenombre("9007199254740993" + std::string(900, '0') + "1e-901"), 9007199254740994.0);
}

// The edges of the double format, each from both sides: the nearest double, halfway cases to
// even, and what a remainder far below the last digit tips.
TEST(NumberReading, DecimalToDoubleIsCorrectlyRoundedAtTheFormatsEdges)
{
    const struct {
        const char* chiffres;
        long long exposant;
        double attendu;
    } cas[] = {
        {"1", 0, 1.0},
        {"5", -1, 0.5},
        {"9007199254740993", 0, 0x1p53},                     // halfway, to even (down)
        {"9007199254740995", 0, 0x1.0000000000002p53},       // halfway, to even (up)
        {"90071992547409930000000000000000001", -19, 0x1.0000000000001p53},   // just past half
        {"17976931348623157", 292, DBL_MAX},
        {"1797693134862315807", 290, DBL_MAX},                // just below half an ulp above it
        {"1797693134862315808", 290, HUGE_VAL},               // just above
        {"22250738585072014", -324, DBL_MIN},
        {"22250738585072011", -324, 0x0.fffffffffffffp-1022},   // the largest subnormal
        {"49406564584124654", -340, 0x1p-1074},               // the smallest
        {"24703282292062327", -340, 0.0},                     // below half of it
        {"24703282292062328", -340, 0x1p-1074},               // above half of it
        {"7410984687618698", -339, 0x1p-1074},                // just below 1.5 of the smallest
        {"7410984687618699", -339, 0x2p-1074},                // just above
        {"123456789012345678901234567890", -30, 0.123456789012345678901234567890},
        {"1", 308, 1e308},
        {"1", -323, 0x2p-1074},
    };
    for (const auto& c : cas)
        EXPECT_EQ(decimalexacte(c.chiffres, c.exposant), c.attendu) << c.chiffres << "e" << c.exposant;
}

// Against the C library's own reader, which rounds correctly, over numbers of every length and
// magnitude the pages may hold.
TEST(NumberReading, DecimalToDoubleAgreesWithTheLibrarysReaderEverywhere)
{
    std::mt19937_64 alea(20261210);
    for (int i = 0; i < 5000; ++i) {
        const int longueur = 1 + static_cast<int>(alea() % (i % 10 == 0 ? 60 : 20));
        std::string chiffres(1, static_cast<char>('1' + alea() % 9));
        for (int k = 1; k < longueur; ++k)
            chiffres += static_cast<char>('0' + alea() % 10);
        const long long exposant = static_cast<long long>(alea() % 660) - 345 - longueur / 2;
        const std::string texte = chiffres + "e" + std::to_string(exposant);
        ASSERT_EQ(decimalexacte(chiffres, exposant), std::strtod(texte.c_str(), nullptr)) << texte;
    }
}

TEST(Langue, RoundedHalvesToEvenAndHeldToOneOrTwo)
{
    EXPECT_EQ(languedepuis("1.5"), 2);
    EXPECT_EQ(languedepuis("2.5"), 2);
    EXPECT_EQ(languedepuis("0.5"), 1);
    EXPECT_EQ(languedepuis("7"), 2);
    EXPECT_EQ(languedepuis("0"), 1);
    EXPECT_EQ(languedepuis(""), 1);
    EXPECT_EQ(languedepuis("fr"), 1);
    EXPECT_EQ(languedepuis("-9999"), 1);
    EXPECT_EQ(languedepuis("1e300"), 2);
    EXPECT_EQ(languedepuis("1e999"), 2);
}

TEST(SizeFile, LineBreaksRemovedThenRead)
{
    EXPECT_EQ(tailledepuis("2048\r\n"), 2048);
    EXPECT_EQ(tailledepuis("2 048"), 2048);
    EXPECT_EQ(tailledepuis("20\r\n48"), 2048);
    EXPECT_EQ(tailledepuis("2.5"), 2);
    EXPECT_EQ(tailledepuis(""), 0);
    EXPECT_EQ(tailledepuis("<html>"), 0);
    EXPECT_EQ(tailledepuis("99999999999"), 2147483647);
}

TEST(FileList, LinesNamesAndCount)
{
    const ListeFichiers l = lectureliste("  Prog.exe  \r\n\r\nAide.hlp\r\n");
    EXPECT_EQ(l.nombre, 2);
    EXPECT_EQ(l.noms, (std::vector<std::string>{"Prog.exe", "Aide.hlp"}));
    // Tabs are kept; a carriage return alone ends a line too.
    const ListeFichiers t = lectureliste("\tA.dll\rB.dll");
    EXPECT_EQ(t.noms, (std::vector<std::string>{"\tA.dll", "B.dll"}));
    // Line feeds alone do not end lines: one combined name.
    const ListeFichiers lf = lectureliste("A.dll\nB.dll\n");
    EXPECT_EQ(lf.nombre, 1);
    EXPECT_EQ(lf.noms, (std::vector<std::string>{"A.dll\nB.dll\n"}));
    EXPECT_EQ(lectureliste("").nombre, 0);
    EXPECT_EQ(lectureliste("   \r\n \r\n").nombre, 0);
}

TEST(FileList, EveryLineCountsButFiftyNamesAreKept)
{
    std::string contenu;
    for (int i = 1; i <= 53; ++i)
        contenu += "f" + std::to_string(i) + ".dat\r\n";
    const ListeFichiers l = lectureliste(contenu);
    EXPECT_EQ(l.nombre, 53);
    ASSERT_EQ(l.noms.size(), 50u);
    EXPECT_EQ(l.noms.back(), "f50.dat");
}

TEST(Labels, VersionAndDate)
{
    EXPECT_EQ(libelleversion("5", "2"), "Version : 5SV 2");
    EXPECT_EQ(libelleversion("5", ""), "Version : 5");
    EXPECT_EQ(libelleversion("", "2"), "");
    EXPECT_EQ(libelledate("12/03/2026"), "Date : 12/03/2026");
    EXPECT_EQ(libelledate(""), "");
}

TEST(Progress, PercentagesRoundHalvesToEven)
{
    std::vector<int> trois, huit;
    for (int i = 1; i <= 3; ++i)
        trois.push_back(pourcentage(i, 3));
    for (int i = 1; i <= 8; ++i)
        huit.push_back(pourcentage(i, 8));
    EXPECT_EQ(trois, (std::vector<int>{33, 67, 100}));
    EXPECT_EQ(huit, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
    EXPECT_EQ(largeurbarre(4815, 100), 4815);
    EXPECT_EQ(largeurbarre(4815, 50), 2408);    // 2407.5 rounds to the even 2408
    EXPECT_EQ(largeurbarre(4815, 0), 0);
}

TEST(Estimate, WorkedExamples)
{
    // 2048 KB, ten files, a first file of 200 KB fetched in 3 s.
    EXPECT_EQ(estimation(1, 3.0, 2048, 200 * 1024, 10), "Dur\xE9" "e Estim\xE9" "e : 36 secondes");
    EXPECT_EQ(estimation(1, 3.0, 20480, 200 * 1024, 10), "Dur\xE9" "e Estim\xE9" "e : 5 minutes");
    EXPECT_EQ(estimation(2, 3.0, 2048, 200 * 1024, 10), "Estimated Time : 36 seconds");
}

TEST(Estimate, RoundingAtTheMinuteBoundaries)
{
    // Transfer 57 s and 5 files: 59.5 rounds to 60, shown as one minute.
    EXPECT_EQ(estimation(2, 57.0, 1000, 1000 * 1024, 5), "Estimated Time : 1 minutes");
    // 90 s: 1.5 minutes rounds to 2; 150 s: 2.5 rounds to 2.
    EXPECT_EQ(estimation(1, 89.5, 1000, 1000 * 1024, 1), "Dur\xE9" "e Estim\xE9" "e : 2 minutes");
    EXPECT_EQ(estimation(1, 149.5, 1000, 1000 * 1024, 1), "Dur\xE9" "e Estim\xE9" "e : 2 minutes");
}

TEST(Estimate, NotShownWithoutSizes)
{
    EXPECT_FALSE(estimation(1, 3.0, 0, 200 * 1024, 10));
    EXPECT_FALSE(estimation(1, 3.0, 2048, 0, 10));
    // A first file of 512 bytes or less has no whole kilobyte: only the pauses count.
    EXPECT_EQ(estimation(2, 3.0, 2048, 512, 4), "Estimated Time : 2 seconds");
    // Beyond what a number can show, held at the largest shown.
    EXPECT_EQ(estimation(2, 1e300, 2048, 2048, 1), "Estimated Time : 9200000000000000000 minutes");
}

TEST(RunTexts, FollowTheApplicationOrTheLanguage)
{
    EXPECT_EQ(textescible("ABACOR").termine, "T\xE9l\xE9" "chargement Termin\xE9");
    EXPECT_EQ(textescible("QUILLON").encours, "Downloading in progress :");
    EXPECT_EQ(textescible("QUILLON").fichier, "File : ");
    EXPECT_EQ(titrelangue(1), "Mise \xE0 jour des Fichiers");
    EXPECT_EQ(titrelangue(2), "Update Files");
    EXPECT_EQ(messagerelance(2), "Restarting Application ...");
    EXPECT_EQ(messagerelance(1), "Relance du Programme ...");
}

TEST(RunTexts, TheWaitNamesTheProgramOrSaysAnotherInTheRunsLanguage)
{
    EXPECT_EQ(texteattente(1, "Abacor.exe"), "En attente de la fermeture d'Abacor.exe\x85");
    EXPECT_EQ(texteattente(1, "Quillon.exe"), "En attente de la fermeture de Quillon.exe\x85");
    EXPECT_EQ(texteattente(2, "Abacor.exe"), "Waiting for Abacor.exe to close\x85");
    EXPECT_EQ(texteattente(1, ""), "En attente de la fermeture d'un autre programme\x85");
    EXPECT_EQ(texteattente(2, ""), "Waiting for another program to close\x85");
}

// The settings' bound of the wait for files in use: whole seconds from 0 to 600, the default
// where the value is no number of seconds.
TEST(WaitSetting, SecondsHeldToTheBoundOrTheDefault)
{
    const std::pair<const char*, int> cases[] = {
        {"", 60},    {"0", 0},       {"5", 5},       {" 12", 12},   {"600", 600}, {"601", 600},
        {"1e9", 600}, {"1e999", 600}, {"2.5", 2},    {"3.5", 4},    {"-5", 60},   {"abc", 60},
        {"+7", 60},  {".5", 60},     {"30 s", 30},
    };
    for (const auto& [value, seconds] : cases)
        EXPECT_EQ(attentedepuis(value), seconds) << '"' << value << '"';
}

TEST(Addresses, EachServerOrMirrorGetsTheApplicationsFolderInItsOrder)
{
    EXPECT_EQ(adressesbase("https://a.example", "ABACOR"), std::vector<std::string>{"https://a.example/Abacor"});
    EXPECT_EQ(adressesbase("https://a.example,https://b.example:8443", "QUILLON"),
              (std::vector<std::string>{"https://a.example/Quillon", "https://b.example:8443/Quillon"}));
}

TEST(ListedNames, OnlyNamesInsideTheApplicationFolder)
{
    for (const char* ok : {"Prog.exe", "Aide\\Index.htm", "Data/Base.mdb", "Lisez-moi", "a..b.txt",
                           "CONSOLE.DLL", "COM10.txt", "nulle\\x"})
        EXPECT_TRUE(nomsur(ok)) << ok;
    for (const char* bad : {"..\\Autre.exe", "a\\..\\..\\b", "../x", "\\Windows\\x.dll", "/etc/x",
                            "C:\\x.exe", "\\\\serveur\\partage\\x", "Prog.exe:flux", "CON", "con.txt",
                            "Aux.log", "NUL", "COM1", "lpt9.dat", "sub\\PRN.txt", "*.exe", "a?.dll",
                            "a\tb", "", "NUL .txt", "nul.backup\\x", "td.txt.", "td.txt ", ".", "...",
                            "a\\", "a\\.\\b", "a//b", "COM0", "lpt0.log", "COM\xB9", "LPT\xB3.txt",
                            "COM\xB2", "CONOUT$", "Prog.SAV", "Prog.exe.~maj"})
        EXPECT_FALSE(nomsur(bad)) << bad;
}
