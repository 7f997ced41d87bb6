#include "pages.h"

#include "decimal.h"
#include "rounding.h"
#include "text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tidewell {

namespace {

bool ignore(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool chiffre(char c)
{
    return c >= '0' && c <= '9';
}

// The value of "[sign]digits[.digits][e[sign]digits]", correctly rounded, to infinity or zero
// out of range. The digits are held to 800 significant digits and a small exponent, which are
// read quickly and exactly: a 1 MiB size page of digits costs no more than a short one. A dropped digit that is not zero leaves a 1
// in the last place kept, which is all rounding needs of it.
double valeurdecimale(const std::string& nombre)
{
    constexpr std::size_t chiffresmax = 800;
    std::size_t i = 0;
    const bool negatif = nombre[0] == '-';
    if (nombre[0] == '+' || nombre[0] == '-')
        ++i;
    std::string chiffres;
    long long exposant = 0;
    bool fraction = false, reste = false;
    for (; i < nombre.size() && nombre[i] != 'e'; ++i) {
        const char c = nombre[i];
        if (c == '.') {
            fraction = true;
        } else if (chiffres.empty() && c == '0') {
            exposant -= fraction;
        } else if (chiffres.size() < chiffresmax) {
            chiffres += c;
            exposant -= fraction;
        } else {
            exposant += !fraction;
            reste = reste || c != '0';
        }
    }
    // Saturated: an exponent of any length still only tips the balance one way.
    long long puissance = 0;
    const bool moins = i < nombre.size() && nombre.find('-', i) != std::string::npos;
    for (; i < nombre.size(); ++i)
        if (chiffre(nombre[i]))
            puissance = std::min(puissance * 10 + (nombre[i] - '0'), 1000000000LL);
    exposant += moins ? -puissance : puissance;
    if (reste) {
        chiffres += '1';
        --exposant;
    }
    const double signe = negatif ? -1.0 : 1.0;
    // The number lies in [10^(ordre-1), 10^ordre).
    const long long ordre = exposant + static_cast<long long>(chiffres.size());
    if (chiffres.empty() || ordre < -324)
        return signe * 0.0;
    if (ordre > 309)
        return signe * HUGE_VAL;
    return signe * decimalexacte(chiffres, exposant);
}

}  // namespace

double lecturenombre(const std::string& texte)
{
    // The characters of the number, without what is ignored between them.
    std::string nombre;
    enum class Partie { signe, entier, fraction, exposant, signeexposant, chiffresexposant } partie = Partie::signe;
    bool unchiffre = false;
    for (char c : texte) {
        if (ignore(c))
            continue;
        if ((c == '+' || c == '-') && (partie == Partie::signe || partie == Partie::signeexposant)) {
            nombre += c;
            partie = partie == Partie::signe ? Partie::entier : Partie::chiffresexposant;
        } else if (chiffre(c) && partie != Partie::exposant) {
            nombre += c;
            if (partie == Partie::signe)
                partie = Partie::entier;
            else if (partie == Partie::signeexposant)
                partie = Partie::chiffresexposant;
            if (partie != Partie::chiffresexposant)
                unchiffre = true;
        } else if (c == '.' && (partie == Partie::signe || partie == Partie::entier)) {
            nombre += c;
            partie = Partie::fraction;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && unchiffre
                   && (partie == Partie::entier || partie == Partie::fraction)) {
            nombre += 'e';
            partie = Partie::signeexposant;
        } else {
            break;
        }
    }
    if (!unchiffre)
        return 0;
    // An exponent without digits counts for nothing.
    while (!nombre.empty() && (nombre.back() == 'e' || nombre.back() == '+' || nombre.back() == '-'))
        nombre.pop_back();
    return valeurdecimale(nombre);
}

std::int32_t tailledepuis(const std::string& texte)
{
    std::string sanslignes;
    for (std::size_t i = 0; i < texte.size(); ++i) {
        if (texte[i] == '\r' && i + 1 < texte.size() && texte[i + 1] == '\n') {
            ++i;
            continue;
        }
        sanslignes += texte[i];
    }
    return libmaj::arrondi32(lecturenombre(sanslignes));
}

ListeFichiers lectureliste(const std::string& contenu)
{
    ListeFichiers liste;
    auto ajoute = [&](const std::string& ligne) {
        const std::string nom = libmaj::sansespaces(ligne);
        if (nom.empty())
            return;
        if (liste.nombre < std::numeric_limits<std::int16_t>::max())
            ++liste.nombre;
        if (liste.noms.size() < placesliste)
            liste.noms.push_back(nom);
    };
    std::string ligne;
    for (std::size_t i = 0; i < contenu.size(); ++i) {
        if (contenu[i] == '\r') {
            ajoute(ligne);
            ligne.clear();
            if (i + 1 < contenu.size() && contenu[i + 1] == '\n')
                ++i;
            continue;
        }
        ligne += contenu[i];
    }
    ajoute(ligne);
    return liste;
}

}  // namespace tidewell
