#include "messages_text.h"

#include "text.h"

namespace libmaj {

namespace {

enum class Langue { francais, anglais, aucune };

Langue langue(std::int16_t code)
{
    if (code == 0 || code == 1)
        return Langue::francais;
    return code == 2 ? Langue::anglais : Langue::aucune;
}

std::string titre(std::int16_t code, const char* francais, const char* anglais)
{
    switch (langue(code)) {
    case Langue::francais: return francais;
    case Langue::anglais: return anglais;
    default: return {};
    }
}

}  // namespace

std::string entete(const std::string& lb)
{
    return "Information : " + lb + std::string(60, '_') + lb + lb;
}

Message messagememenom(std::int16_t code, const std::string& lb, const std::string& source)
{
    Message m{titre(code, "Copie d'un Fichier", "Copy File"), entete(lb), 64, true};
    switch (langue(code)) {
    case Langue::francais:
        m.texte += "Le Fichier Source et le Fichier de Destination ont le même " + lb
                   + "Répertoire et le même Nom : " + lb + lb + source + " ";
        break;
    case Langue::anglais:
        m.texte += "Source File and Destination File have the " + lb
                   + "same Directory and the same Name : " + lb + lb + source + " ";
        break;
    default: break;
    }
    return m;
}

Message messageechecopie(std::int16_t code, const std::string& lb, const std::string& source,
                         const std::string& destination, const std::string& description)
{
    Message m{titre(code, "Copie d'un Fichier", "Copy File"), entete(lb), 64, true};
    switch (langue(code)) {
    case Langue::francais:
        m.texte += "Impossible de copier le Fichier suivant : " + lb + source + " " + lb + lb
                   + "Vers la destination suivante : " + lb + destination + " " + lb + lb
                   + "Motif : " + lb;
        break;
    case Langue::anglais:
        m.texte += "Unable to copy the following File : " + lb + source + " " + lb + lb
                   + "To the following destination : " + lb + destination + " " + lb + lb
                   + "Cause : " + lb;
        break;
    default: break;
    }
    m.texte += description;
    return m;
}

Message messagenontrouve(std::int16_t code, const std::string& lb, const std::string& chemin)
{
    Message m{titre(code, "Test Fichier", "File Test"), entete(lb), 64, false};
    switch (langue(code)) {
    case Langue::francais: m.texte += chemin + lb + lb + "Fichier non trouvé. "; break;
    case Langue::anglais: m.texte += chemin + lb + lb + "File not found. "; break;
    default: break;
    }
    return m;
}

Message messagesansconnexion(std::int16_t code, const std::string& lb)
{
    Message m{titre(code, "Connexion Internet", "Internet Connection"), entete(lb), 65, false};
    switch (langue(code)) {
    case Langue::francais:
        m.texte += "Il semble que vous ne soyez pas connecté à Internet ... " + std::string(4, ' ')
                   + lb + lb + "- Cliquez sur [Ok] pour continuer malgré tout. " + lb
                   + "- Cliquez sur [Annuler] pour interrompre la Connexion. ";
        break;
    case Langue::anglais:
        m.texte += "It seems that you are not connected to Internet ... " + std::string(4, ' ')
                   + lb + lb + "- Click [Ok] to continue anyway. " + lb
                   + "- Click [Cancel] to interrupt the connection. ";
        break;
    default: break;
    }
    return m;
}

Message messageenvironnement(std::int16_t code, const std::string& titrepage)
{
    Message m{titrepage, {}, 64, true};
    switch (langue(code)) {
    case Langue::francais: m.texte = "Impossible d'accéder à l'environnement Internet ... "; break;
    case Langue::anglais: m.texte = "Unable to access the Internet environment ... "; break;
    default: break;
    }
    return m;
}

Message messagepage(std::int16_t code, const std::string& lb, const std::string& titrepage,
                    const std::string& site)
{
    Message m{titrepage, {}, 64, true};
    const bool sanssite = sansespaces(site).empty();
    switch (langue(code)) {
    case Langue::francais:
        m.texte = sanssite ? "Impossible d'accéder à la Page Internet ... "
                           : "Impossible d'accéder à la Page Internet sur " + lb + "le site [" + site + "]. ";
        break;
    case Langue::anglais:
        m.texte = sanssite ? "Unable to access the Internet Page ... "
                           : "Unable to access the Internet Page on " + lb + "the [" + site + "] site. ";
        break;
    default: break;
    }
    return m;
}

Message messageerreur(std::int16_t code, const std::string& lb, long numero,
                      const std::string& module, const std::string& description)
{
    Message m{titre(code, "Erreurs", "Errors"), {}, 16, true};
    const std::string ligne = std::to_string(numero) + " " + lb + "Module : " + module + " " + lb;
    switch (langue(code)) {
    case Langue::francais:
        m.texte = entete(lb) + "Erreur Système N° " + ligne + "Motif : " + lb + lb;
        break;
    case Langue::anglais:
        m.texte = entete(lb) + "System Error Number " + ligne + "Cause : " + lb + lb;
        break;
    default: break;
    }
    m.texte += description;
    return m;
}

}  // namespace libmaj
