// Giving a window its size and centring it on the screen.
#pragma once

#include <cstdint>

namespace libmaj {

// A window as the placement sees it: outer size and position in twips. A change the
// platform refuses is simply not made; the placement goes on with its next step.
class Forme {
public:
    virtual ~Forme() = default;
    virtual void largeur(double twips) = 0;
    virtual void hauteur(double twips) = 0;
    virtual void gauche(double twips) = 0;
    virtual void haut(double twips) = 0;
};

// Screen size in twips; 0 for a dimension that could not be read.
struct Ecran {
    double largeur = 0;
    double hauteur = 0;
};

// Sizes the window and centres it on the given screen; a window larger than the screen in
// one direction is placed at that edge, never at a negative position.
void centrefenetre(Forme& forme, const Ecran& ecran, std::int16_t largeur, std::int16_t hauteur);

#ifdef _WIN32
// The same, on the primary screen as the platform reports it now.
void centrefenetre(Forme& forme, std::int16_t largeur, std::int16_t hauteur);
#endif

}  // namespace libmaj
