// The signed manifest's text: written as read, and refused on every liberty.
#include "manifest.h"

#include "example_release.h"

#include <gtest/gtest.h>

using namespace tidewell;

namespace {

using exemples::H;

Manifeste exemple()
{
    return exemples::manifeste();
}

std::string refus(const std::string& texte)
{
    std::string raison;
    return lecturemanifeste(texte, raison) ? "accepted" : raison;
}

std::string remplace(std::string t, const std::string& de, const std::string& par)
{
    t.replace(t.find(de), de.size(), par);
    return t;
}

}  // namespace

TEST(Manifest, ReadsBackExactlyWhatItWrites)
{
    const std::string texte = ecritmanifeste(exemple());
    EXPECT_EQ(texte.substr(0, 62), "Format=1\r\nCible=ABACOR\r\nEdition=12\r\nExpire=2027-12-07\r\nCle=1\r\n");
    std::string raison;
    const auto m = lecturemanifeste(texte, raison);
    ASSERT_TRUE(m) << raison;
    EXPECT_EQ(m->edition, 12u);
    EXPECT_EQ(m->pages, exemple().pages);
    EXPECT_EQ(m->fichiers, exemple().fichiers);
    EXPECT_EQ(ecritmanifeste(*m), texte);
    EXPECT_FALSE(perime(*m, "2027-12-07"));
    EXPECT_TRUE(perime(*m, "2027-12-08"));
}

TEST(Manifest, RefusesEveryLiberty)
{
    const std::string t = ecritmanifeste(exemple());
    EXPECT_EQ(refus(t + "Extra=1\r\n"), "M7");                                   // an unknown line
    EXPECT_EQ(refus(t + "Fichier=prog.EXE;1;" + H + "\r\n"), "M9");             // a name twice
    EXPECT_EQ(refus(t + "Fichier=aide-INDEX.htm;1;" + H + "\r\n"), "M9");       // the same name in other letters
    EXPECT_EQ(refus(t + "Fichier=..\\x.dll;1;" + H + "\r\n"), "M8");             // an unsafe name
    EXPECT_EQ(refus(t + "Fichier=Prog.sav;1;" + H + "\r\n"), "M8");
    // A sub-folder may be a link leading out of the folder: signed names never have one.
    for (const char* sousdossier : {"Aide\\Index.htm", "Aide/Index.htm"})
        EXPECT_EQ(refus(t + "Fichier=" + sousdossier + ";1;" + H + "\r\n"), "M8") << sousdossier;
    EXPECT_EQ(refus(t + "Fichier=journalmaj.INI;1;" + H + "\r\n"), "M8");     // the updater's own records
    EXPECT_EQ(refus(t + "Fichier=Etatmaj.ini;1;" + H + "\r\n"), "M8");
    EXPECT_EQ(refus(t + "Fichier=TIRAGEmaj.ini;1;" + H + "\r\n"), "M8");   // the copy's drawn number
    EXPECT_EQ(refus(t + "Fichier=tidewell.LOG;1;" + H + "\r\n"), "M8");
    EXPECT_EQ(refus(t + "Fichier=Tidewell.~NEUF.exe;1;" + H + "\r\n"), "M8");   // a newer updater, waiting
    // What a download cut short or a cheaper form waits under beside its file.
    for (const char* propre : {"Prog.exe.0123456789abcdef.~PRT", "Prog.exe.~frm"})
        EXPECT_EQ(refus(t + "Fichier=" + propre + ";1;" + H + "\r\n"), "M8") << propre;
    EXPECT_EQ(refus(t + "Fichier=a;b;1.dat;1;" + H + "\r\n"), "accepted");    // a name may hold ";"
    EXPECT_EQ(refus(remplace(t, "Cible=ABACOR", "Cible=AUTRE")), "M4");
    EXPECT_EQ(refus(remplace(t, "Format=1", "Format=2")), "M3");
    EXPECT_EQ(refus(remplace(t, "Edition=12", "Edition=012")), "M5");
    EXPECT_EQ(refus(remplace(t, "Edition=12", "Edition=-1")), "M5");
    EXPECT_EQ(refus(remplace(t, "Edition=12", "Edition=18446744073709551614")), "M11");   // a freeze
    EXPECT_EQ(refus(remplace(t, "Edition=12", "Edition=1000000000")), "M11");
    EXPECT_EQ(refus(remplace(t, "Edition=12", "Edition=999999999")), "accepted");
    EXPECT_EQ(refus(remplace(t, "Expire=2027-12-07", "Expire=2027-13-07")), "M5");
    EXPECT_EQ(refus(remplace(t, "Cle=1", "Cle=0")), "M5");
    EXPECT_EQ(refus(remplace(t, "Page=Version.ini", "Page=Listfich.ini")), "M6");   // out of order
    EXPECT_EQ(refus(remplace(t, "Prog.exe;150000;", "Prog.exe; 150000;")), "M7");
    EXPECT_EQ(refus(remplace(t, ";" + H + "\r\nFichier=Aide", ";" + H.substr(1) + "A\r\nFichier=Aide")), "M7");
    EXPECT_EQ(refus(remplace(t, "\r\nCible", "\nCible")), "M1");                   // a bare line feed
    EXPECT_EQ(refus(t.substr(0, t.size() - 2)), "M1");                             // a last line cut
    EXPECT_EQ(refus(remplace(t, "Cible=", "Cle=")), "M2");
    Manifeste trop = exemple();
    trop.fichiers.clear();
    for (int i = 0; i < 51; ++i)
        trop.fichiers.push_back({"f" + std::to_string(i) + ".dat", 1, H});
    EXPECT_EQ(refus(ecritmanifeste(trop)), "M10");
    trop.fichiers.pop_back();
    EXPECT_EQ(refus(ecritmanifeste(trop)), "accepted");
}

TEST(Manifest, TheSignatureFile)
{
    const Signature s{2, std::string(128, '0')};
    const std::string texte = ecritsignature(s);
    EXPECT_EQ(texte, "Cle=2\r\nSignature=" + std::string(128, '0') + "\r\n");
    const auto lue = lecturesignature(texte);
    ASSERT_TRUE(lue);
    EXPECT_EQ(lue->cle, 2);
    EXPECT_EQ(lue->rs, s.rs);
    for (const std::string& bad : {"Cle=2\r\nSignature=" + std::string(126, '0') + "\r\n",
                                   "Cle=2\r\nSignature=" + std::string(128, 'A') + "\r\n",
                                   "Cle=x\r\nSignature=" + std::string(128, '0') + "\r\n",
                                   texte + "Cle=3\r\n", std::string("Cle=2\r\n")})
        EXPECT_FALSE(lecturesignature(bad)) << bad;
}
