// The support library's message catalogue, byte for byte, in both languages and for a code
// outside them. Accented letters are written as their code page 1252 bytes.
#include "files.h"
#include "messages_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace libmaj;

namespace {

const std::string LB = "\r\n";
const std::string H = "Information : " + LB + std::string(60, '_') + LB + LB;

}  // namespace

TEST(Catalogue, SameNameMessage)
{
    const Message fr = messagememenom(1, LB, "C:\\a.txt");
    EXPECT_EQ(fr.titre, "Copie d'un Fichier");
    EXPECT_EQ(fr.texte, H + "Le Fichier Source et le Fichier de Destination ont le m\xEAme " + LB
                            + "R\xE9pertoire et le m\xEAme Nom : " + LB + LB + "C:\\a.txt ");
    EXPECT_EQ(fr.style, 64);
    EXPECT_TRUE(fr.remetpointeur);
    const Message en = messagememenom(2, LB, "C:\\a.txt");
    EXPECT_EQ(en.titre, "Copy File");
    EXPECT_EQ(en.texte, H + "Source File and Destination File have the " + LB
                            + "same Directory and the same Name : " + LB + LB + "C:\\a.txt ");
    const Message none = messagememenom(3, LB, "C:\\a.txt");
    EXPECT_EQ(none.titre, "");
    EXPECT_EQ(none.texte, H);
}

TEST(Catalogue, CopyFailureEndsWithTheCause)
{
    const Message fr = messageechecopie(0, LB, "C:\\s.txt", "D:\\d.txt", "Acc\xE8s refus\xE9.");
    EXPECT_EQ(fr.titre, "Copie d'un Fichier");
    EXPECT_EQ(fr.texte, H + "Impossible de copier le Fichier suivant : " + LB + "C:\\s.txt " + LB + LB
                            + "Vers la destination suivante : " + LB + "D:\\d.txt " + LB + LB
                            + "Motif : " + LB + "Acc\xE8s refus\xE9.");
    const Message en = messageechecopie(2, LB, "C:\\s.txt", "D:\\d.txt", "Access is denied.");
    EXPECT_EQ(en.texte, H + "Unable to copy the following File : " + LB + "C:\\s.txt " + LB + LB
                            + "To the following destination : " + LB + "D:\\d.txt " + LB + LB
                            + "Cause : " + LB + "Access is denied.");
    EXPECT_EQ(messageechecopie(3, LB, "s", "d", "Access is denied.").texte, H + "Access is denied.");
}

TEST(Catalogue, NotFoundMessageLineByLine)
{
    const Message en = messagenontrouve(2, LB, "C:\\x.txt");
    EXPECT_EQ(en.titre, "File Test");
    EXPECT_EQ(en.texte, "Information : " + LB + std::string(60, '_') + LB + LB + "C:\\x.txt" + LB + LB
                            + "File not found. ");
    EXPECT_FALSE(en.remetpointeur);
    const Message fr = messagenontrouve(1, LB, "C:\\x.txt");
    EXPECT_EQ(fr.titre, "Test Fichier");
    EXPECT_EQ(fr.texte, H + "C:\\x.txt" + LB + LB + "Fichier non trouv\xE9. ");
    EXPECT_EQ(messagenontrouve(3, LB, "C:\\x.txt").texte, H);
}

TEST(Catalogue, NoConnectionQuestion)
{
    const Message fr = messagesansconnexion(1, LB);
    EXPECT_EQ(fr.titre, "Connexion Internet");
    EXPECT_EQ(fr.style, 65);
    EXPECT_FALSE(fr.remetpointeur);
    EXPECT_EQ(fr.texte, H + "Il semble que vous ne soyez pas connect\xE9 \xE0 Internet ...     " + LB + LB
                            + "- Cliquez sur [Ok] pour continuer malgr\xE9 tout. " + LB
                            + "- Cliquez sur [Annuler] pour interrompre la Connexion. ");
    const Message en = messagesansconnexion(2, LB);
    EXPECT_EQ(en.titre, "Internet Connection");
    EXPECT_EQ(en.texte, H + "It seems that you are not connected to Internet ...     " + LB + LB
                            + "- Click [Ok] to continue anyway. " + LB
                            + "- Click [Cancel] to interrupt the connection. ");
}

TEST(Catalogue, InternetEnvironmentMessageHasTheCallersTitleAndNoHeader)
{
    const Message fr = messageenvironnement(1, "Mise \xE0 jour des Fichiers");
    EXPECT_EQ(fr.titre, "Mise \xE0 jour des Fichiers");
    EXPECT_EQ(fr.texte, "Impossible d'acc\xE9" "der \xE0 l'environnement Internet ... ");
    EXPECT_TRUE(fr.remetpointeur);
    EXPECT_EQ(messageenvironnement(2, "Update Files").texte,
              "Unable to access the Internet environment ... ");
    EXPECT_EQ(messageenvironnement(3, "T").texte, "");
}

TEST(Catalogue, PageMessageShortWithoutASiteName)
{
    EXPECT_EQ(messagepage(1, LB, "T", "   ").texte, "Impossible d'acc\xE9" "der \xE0 la Page Internet ... ");
    EXPECT_EQ(messagepage(2, LB, "T", "").texte, "Unable to access the Internet Page ... ");
    EXPECT_EQ(messagepage(1, LB, "T", " Corvane ").texte,
              "Impossible d'acc\xE9" "der \xE0 la Page Internet sur " + LB + "le site [ Corvane ]. ");
    const Message en = messagepage(2, LB, "Update Files", "Corvane");
    EXPECT_EQ(en.titre, "Update Files");
    EXPECT_EQ(en.texte, "Unable to access the Internet Page on " + LB + "the [Corvane] site. ");
    EXPECT_EQ(messagepage(7, LB, "T", "Corvane").texte, "");
}

TEST(Catalogue, ErrorReport)
{
    const Message fr = messageerreur(1, LB, 52, "Libmaj - testfichier", "Nom ou num\xE9ro de fichier incorrect");
    EXPECT_EQ(fr.titre, "Erreurs");
    EXPECT_EQ(fr.style, 16);
    EXPECT_TRUE(fr.remetpointeur);
    EXPECT_EQ(fr.texte, H + "Erreur Syst\xE8me N\xB0 52 " + LB + "Module : Libmaj - testfichier " + LB
                            + "Motif : " + LB + LB + "Nom ou num\xE9ro de fichier incorrect");
    const Message en = messageerreur(2, LB, -2147024894L, "M", "File not found");
    EXPECT_EQ(en.titre, "Errors");
    EXPECT_EQ(en.texte, H + "System Error Number -2147024894 " + LB + "Module : M " + LB + "Cause : " + LB
                            + LB + "File not found");
    const Message none = messageerreur(3, LB, 52, "M", "Bad file name");
    EXPECT_EQ(none.titre, "");
    EXPECT_EQ(none.texte, "Bad file name");
}

TEST(Attributes, OnlyReadOnlyAndHiddenAreCleared)
{
    EXPECT_EQ(attributsnormalises(1), 0u);
    EXPECT_EQ(attributsnormalises(2), 0u);
    EXPECT_EQ(attributsnormalises(3), 0u);
    EXPECT_EQ(attributsnormalises(33), 32u);
    EXPECT_EQ(attributsnormalises(34), 32u);
    EXPECT_EQ(attributsnormalises(35), 32u);
    for (unsigned long kept : {0ul, 32ul, 4ul, 5ul, 6ul, 7ul, 36ul, 39ul, 0x2001ul, 128ul})
        EXPECT_EQ(attributsnormalises(kept), kept) << kept;
    // A signed install takes read-only, hidden and system off whatever else is set.
    for (const auto& [found, left] : {std::pair<unsigned long, unsigned long>{0x801, 0x800}, {0x2021, 0x2020},
                                      {0x5, 0}, {0x80021, 0x80020}, {0x27, 0x20}, {0x80, 0x80}})
        EXPECT_EQ(attributsremplacables(found), left) << std::hex << found;
}
