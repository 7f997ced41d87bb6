// A top-level window's outer size and position, handled in twips.
#pragma once

#include "placement.h"
#include "screen.h"

#include <windows.h>

namespace libmaj {

class FenetreTwips final : public Forme {
public:
    explicit FenetreTwips(HWND fenetre, Resolution resolution = resolutionecran())
        : fenetre_(fenetre), resolution_(resolution) {}

    void largeur(double twips) override;
    void hauteur(double twips) override;
    void gauche(double twips) override;
    void haut(double twips) override;

private:
    void place(int x, int y, int cx, int cy, UINT drapeaux);

    HWND fenetre_;
    Resolution resolution_;
};

}  // namespace libmaj
