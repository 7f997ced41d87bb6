#include "web_rules.h"

#include "text.h"

namespace libmaj {

bool contientmarqueur(const std::string& texte)
{
    if (texte.empty())
        return false;
    const std::string haut = majuscules(texte);
    return haut.find("ERREUR 404") != std::string::npos || haut.find("ERROR 404") != std::string::npos;
}

std::int16_t statutpage(const Lecture& lecture, const std::string& texte)
{
    if (lecture.statuthttp >= 400 || lecture.echeclecture || lecture.tropgrand)
        return pagemanquante;
    if (lecture.longueurannoncee && *lecture.longueurannoncee != texte.size())
        return pagemanquante;
    return contientmarqueur(texte) ? pagemanquante : pagelue;
}

bool corpscomplet(const Lecture& lecture, unsigned long long recus)
{
    if (lecture.statuthttp < 200 || lecture.statuthttp >= 300 || lecture.echeclecture)
        return false;
    return !lecture.longueurannoncee || *lecture.longueurannoncee == recus;
}

std::string nomsauvegarde(const std::string& destination)
{
    const auto separateur = destination.find_last_of("\\/");
    const auto debutnom = separateur == std::string::npos ? 0 : separateur + 1;
    const auto point = destination.find_last_of('.');
    if (point == std::string::npos || point < debutnom)
        return destination + ".sav";
    return destination.substr(0, point) + ".sav";
}

std::string nomtemporaire(const std::string& destination)
{
    return destination + ".~maj";
}

}  // namespace libmaj
