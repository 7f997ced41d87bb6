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

}  // namespace tidewell
