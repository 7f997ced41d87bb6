#include "progress.h"

#include <algorithm>

#include "rounding.h"

namespace tidewell {

using libmaj::arrondi;

std::int32_t pourcentage(int i, int n)
{
    return n > 0 ? libmaj::arrondi32(i * 100.0 / n) : 0;
}

std::int32_t largeurbarre(std::int32_t pleine, std::int32_t pourcent)
{
    return libmaj::arrondi32(static_cast<double>(pleine) * pourcent / 100.0);
}

namespace {

// A whole number to show: a value beyond what can be shown is held at the largest.
long long entier(double x)
{
    if (!(x < 9.2e18))
        return x != x ? 0 : 9200000000000000000LL;
    return static_cast<long long>(std::max(x, -9.2e18));
}

}  // namespace

std::optional<std::string> estimation(std::int16_t langue, double ecoule, std::int32_t taillemaj,
                                      double taillepremier, int nombre)
{
    if (taillemaj <= 0 || !(taillepremier > 0))
        return std::nullopt;
    std::string prefixe, secondes;
    switch (langue) {
    case 0:
    case 1: prefixe = "Durée Estimée : "; secondes = "secondes"; break;
    case 2: prefixe = "Estimated Time : "; secondes = "seconds"; break;
    default: break;
    }
    const double kilo = arrondi(taillepremier / 1024.0);
    const double transfert = kilo == 0 ? 0 : arrondi(ecoule * taillemaj / kilo);
    const double total = arrondi(transfert + nombre * 0.5);
    if (total < 60)
        return prefixe + std::to_string(entier(total)) + " " + secondes;
    return prefixe + std::to_string(entier(arrondi(total / 60))) + " minutes";
}

}  // namespace tidewell
