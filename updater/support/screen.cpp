#include "screen.h"

#include "twips.h"

#include <windows.h>

namespace libmaj {

Resolution resolutionecran()
{
    Resolution r;
    if (HDC dc = GetDC(nullptr)) {
        const int x = GetDeviceCaps(dc, LOGPIXELSX);
        const int y = GetDeviceCaps(dc, LOGPIXELSY);
        if (x > 0)
            r.x = x;
        if (y > 0)
            r.y = y;
        ReleaseDC(nullptr, dc);
    }
    return r;
}

Ecran ecranentwips()
{
    const Resolution r = resolutionecran();
    Ecran e;
    e.largeur = pixelsentwips(GetSystemMetrics(SM_CXSCREEN), r.x);
    e.hauteur = pixelsentwips(GetSystemMetrics(SM_CYSCREEN), r.y);
    return e;
}

void centrefenetre(Forme& forme, std::int16_t largeur, std::int16_t hauteur)
{
    centrefenetre(forme, ecranentwips(), largeur, hauteur);
}

}  // namespace libmaj
