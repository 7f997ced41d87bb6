#include "rounding.h"

#include <cmath>
#include <limits>

namespace libmaj {

double arrondi(double valeur)
{
    if (!std::isfinite(valeur))
        return valeur;
    const double bas = std::floor(valeur);
    const double reste = valeur - bas;
    if (reste > 0.5)
        return bas + 1.0;
    if (reste < 0.5)
        return bas;
    return std::fmod(bas, 2.0) == 0.0 ? bas : bas + 1.0;
}

std::int32_t arrondi32(double valeur)
{
    if (std::isnan(valeur))
        return 0;
    const double r = arrondi(valeur);
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

}  // namespace libmaj
