// Reading one value from a settings file in the profile (INI) format.
#pragma once

#include <cstdint>
#include <string>

namespace libmaj {

// Reads key `cle` of section `section` in `fichier` with a buffer of `taille` characters
// (NUL included), so a value is cut to taille - 1 characters. In the value, every "¤"
// stands for a double quote. Returns the found flag: 1 when a non-empty value was read,
// 0 otherwise, with `valeur` then empty.
std::int16_t lectureini(const std::string& fichier, const std::string& section,
                        const std::string& cle, std::int16_t taille, std::string& valeur);

// The value held by a buffer that the profile reader has filled: the buffer starts as
// spaces, the reader writes the value and a NUL at its start. Trims the padding, drops the
// NUL and turns each "¤" into a double quote.
std::string valeurdutampon(const std::string& tampon);

// lectureini with the profile reader given: lire(section, cle, tampon, taille, fichier)
// fills the buffer as GetPrivateProfileStringA does (empty default) and returns the count
// of characters copied. An empty path or a size below 1 never reaches the reader.
template <class Lecteur>
std::int16_t lectureini(const std::string& fichier, const std::string& section,
                        const std::string& cle, std::int16_t taille, std::string& valeur,
                        Lecteur lire)
{
    valeur.clear();
    if (fichier.empty() || taille < 1)
        return 0;
    std::string tampon(static_cast<std::size_t>(taille), ' ');
    const unsigned long copies =
        lire(section.c_str(), cle.c_str(), tampon.data(), static_cast<unsigned long>(taille),
             fichier.c_str());
    if (copies == 0)
        return 0;
    valeur = valeurdutampon(tampon);
    return 1;
}

}  // namespace libmaj
