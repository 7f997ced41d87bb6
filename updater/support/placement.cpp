#include "placement.h"

#include "rounding.h"

namespace libmaj {

void centrefenetre(Forme& forme, const Ecran& ecran, std::int16_t largeur, std::int16_t hauteur)
{
    const std::int32_t largeurecran = arrondi32(ecran.largeur);
    const std::int32_t hauteurecran = arrondi32(ecran.hauteur);
    forme.largeur(largeur);
    forme.hauteur(hauteur);
    forme.gauche((static_cast<double>(largeurecran) - largeur) / 2.0);
    forme.haut((static_cast<double>(hauteurecran) - hauteur) / 2.0);
    if (largeurecran < largeur)
        forme.gauche(0);
    if (hauteurecran < hauteur)
        forme.haut(0);
}

}  // namespace libmaj
