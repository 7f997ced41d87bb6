#include "profile.h"

#include "text.h"

namespace libmaj {

std::string valeurdutampon(const std::string& tampon)
{
    std::string valeur = sansespaces(tampon);
    if (!valeur.empty() && valeur.back() == '\0')
        valeur.pop_back();
    for (char& c : valeur)
        if (c == '\xA4')   // "¤" in code page 1252
            c = '"';
    return valeur;
}

}  // namespace libmaj
