#include "window_twips.h"

#include "twips.h"

namespace libmaj {

void FenetreTwips::place(int x, int y, int cx, int cy, UINT drapeaux)
{
    SetWindowPos(fenetre_, nullptr, x, y, cx, cy, drapeaux | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FenetreTwips::largeur(double twips)
{
    RECT r;
    if (GetWindowRect(fenetre_, &r))
        place(0, 0, twipsenpixels(twips, resolution_.x), r.bottom - r.top, SWP_NOMOVE);
}

void FenetreTwips::hauteur(double twips)
{
    RECT r;
    if (GetWindowRect(fenetre_, &r))
        place(0, 0, r.right - r.left, twipsenpixels(twips, resolution_.y), SWP_NOMOVE);
}

void FenetreTwips::gauche(double twips)
{
    RECT r;
    if (GetWindowRect(fenetre_, &r))
        place(twipsenpixels(twips, resolution_.x), r.top, 0, 0, SWP_NOSIZE);
}

void FenetreTwips::haut(double twips)
{
    RECT r;
    if (GetWindowRect(fenetre_, &r))
        place(r.left, twipsenpixels(twips, resolution_.y), 0, 0, SWP_NOSIZE);
}

}  // namespace libmaj
