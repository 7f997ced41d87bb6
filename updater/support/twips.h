// Window geometry is given in twips (1/1440 inch); the screen counts pixels at its logical
// resolution (96 dots per inch makes 15 twips a pixel, 120 makes 12).
#pragma once

#include "rounding.h"

namespace libmaj {

constexpr double twipsparpouce = 1440.0;

inline int twipsenpixels(double twips, int pointsparpouce)
{
    return arrondi32(twips * pointsparpouce / twipsparpouce);
}

inline double pixelsentwips(double pixels, int pointsparpouce)
{
    return pixels * twipsparpouce / pointsparpouce;
}

}  // namespace libmaj
