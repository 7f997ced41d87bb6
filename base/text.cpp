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

std::optional<std::vector<unsigned char>> octetsdepuishexa(const std::string& hexa)
{
    const auto valeur = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    if (hexa.size() % 2 != 0)
        return std::nullopt;
    std::vector<unsigned char> octets;
    for (std::size_t i = 0; i < hexa.size(); i += 2) {
        const int haut = valeur(hexa[i]), bas = valeur(hexa[i + 1]);
        if (haut < 0 || bas < 0)
            return std::nullopt;
        octets.push_back(static_cast<unsigned char>(haut * 16 + bas));
    }
    return octets;
}

std::string hexadepuisoctets(const unsigned char* octets, std::size_t taille)
{
    static const char chiffres[] = "0123456789abcdef";
    std::string texte;
    for (std::size_t i = 0; i < taille; ++i) {
        texte += chiffres[octets[i] >> 4];
        texte += chiffres[octets[i] & 15];
    }
    return texte;
}

}  // namespace libmaj
