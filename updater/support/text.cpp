#include "text.h"

namespace libmaj {

std::string sansespaces(const std::string& texte)
{
    const auto debut = texte.find_first_not_of(' ');
    if (debut == std::string::npos)
        return {};
    const auto fin = texte.find_last_not_of(' ');
    return texte.substr(debut, fin - debut + 1);
}

static unsigned char majuscule1252(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)   // à..þ except the division sign
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;   // š
    case 0x9C: return 0x8C;   // œ
    case 0x9E: return 0x8E;   // ž
    case 0xFF: return 0x9F;   // ÿ
    default: return c;
    }
}

std::string majuscules(const std::string& texte)
{
    std::string resultat(texte);
    for (char& c : resultat)
        c = static_cast<char>(majuscule1252(static_cast<unsigned char>(c)));
    return resultat;
}

}  // namespace libmaj
