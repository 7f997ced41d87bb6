#include "run_texts.h"

namespace tidewell {

std::string messageintrouvable(std::int16_t langue, const std::string& sautligne)
{
    std::string texte = "Information : ";
    texte += sautligne;
    texte += std::string(45, '_');
    texte += sautligne;
    texte += sautligne;
    switch (langue) {
    case 0:
    case 1: texte += "Application à mettre à jour Introuvable ... "; break;
    case 2: texte += "Application to update Not found ... "; break;
    default: break;
    }
    return texte;
}

std::string titrelangue(std::int16_t langue)
{
    switch (langue) {
    case 1: return "Mise à jour des Fichiers";
    case 2: return "Update Files";
    default: return {};
    }
}

TextesCible textescible(const std::string& nomappli)
{
    if (nomappli == "ABACOR")
        return {"Téléchargement en cours :", "Fichier : ", "Téléchargement Terminé"};
    if (nomappli == "QUILLON")
        return {"Downloading in progress :", "File : ", "Download Finished"};
    return {};
}

std::string messagerelance(std::int16_t langue)
{
    switch (langue) {
    case 0:
    case 1: return "Relance du Programme ...";
    case 2: return "Restarting Application ...";
    default: return {};
    }
}

std::string texteattente(std::int16_t langue, const std::string& detenteur)
{
    if (langue == 2)
        return "Waiting for " + (detenteur.empty() ? std::string("another program") : detenteur) + " to close\x85";
    // "d'Abacor.exe", "de Quillon.exe"
    const bool elide = detenteur.empty() || std::string("AEIOUYaeiouy").find(detenteur[0]) != std::string::npos;
    return "En attente de la fermeture " + std::string(elide ? "d'" : "de ")
           + (detenteur.empty() ? std::string("un autre programme") : detenteur) + "\x85";
}

}  // namespace tidewell

namespace tidewell {

std::string messagenonverifie(const std::string& code, const std::string& sautligne)
{
    // In both languages, whatever the settings say; the code is what the user reads out to
    // the maker's support.
    return "La mise à jour n'a pas pu être vérifiée : aucun fichier n'a été modifié." + sautligne
           + "The update could not be verified: no file was changed." + sautligne + sautligne + "Code : " + code;
}

std::string messagerefus(const std::string& code, const std::string& sautligne, const Detention& tenu)
{
    const std::string fin = sautligne + sautligne + "Code : " + code;
    switch (code.empty() ? ' ' : code[0]) {
    case 'P':
    case 'I': {
        std::string texte = "La mise à jour n'a pas pu être installée : aucun fichier n'a été modifié." + sautligne
                            + "The update could not be installed: no file was changed.";
        if (tenu.rang && code == "I" + std::to_string(tenu.rang))
            texte += sautligne + sautligne
                     + (tenu.detenteur.empty() ? "Un autre programme" : tenu.detenteur) + " utilise encore "
                     + tenu.fichier + "." + sautligne
                     + (tenu.detenteur.empty() ? "Another program" : tenu.detenteur) + " is still using "
                     + tenu.fichier + ".";
        return texte + fin;
    }
    case 'R':
        return "Une mise à jour interrompue n'a pas pu être achevée : ce sera tenté de nouveau à la prochaine "
               "mise à jour." + sautligne
               + "An interrupted update could not be completed: this will be tried again at the next update." + fin;
    default: return messagenonverifie(code, sautligne);
    }
}

}  // namespace tidewell
