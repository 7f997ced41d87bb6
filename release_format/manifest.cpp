#include "manifest.h"

#include <charconv>

namespace tidewell {

namespace {

const char* const nomspages[] = {"Version.ini", "Listfich.ini", "Taillefich.ini"};

bool hexa(const std::string& s, std::size_t longueur)
{
    if (s.size() != longueur)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

bool date(const std::string& s)
{
    if (s.size() != 10 || s[4] != '-' || s[7] != '-')
        return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (s[i] < '0' || s[i] > '9')
            return false;
    const int mois = (s[5] - '0') * 10 + (s[6] - '0');
    const int jour = (s[8] - '0') * 10 + (s[9] - '0');
    return mois >= 1 && mois <= 12 && jour >= 1 && jour <= 31;
}

}  // namespace

std::optional<std::vector<std::string>> lignes(const std::string& texte)
{
    std::vector<std::string> resultat;
    std::size_t debut = 0;
    while (debut < texte.size()) {
        const auto fin = texte.find("\r\n", debut);
        if (fin == std::string::npos)
            return std::nullopt;
        const std::string ligne = texte.substr(debut, fin - debut);
        if (ligne.find_first_of("\r\n") != std::string::npos)
            return std::nullopt;
        resultat.push_back(ligne);
        debut = fin + 2;
    }
    return resultat;
}

std::optional<std::uint64_t> entierstrict(const std::string& s)
{
    if (s.empty() || s.size() > 20 || (s.size() > 1 && s[0] == '0'))
        return std::nullopt;
    std::uint64_t n = 0;
    const auto [fin, erreur] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (erreur != std::errc() || fin != s.data() + s.size())
        return std::nullopt;
    return n;
}

std::string empreinte(const Empreinte& e)
{
    return e.nom + ";" + std::to_string(e.taille) + ";" + e.sha256;
}

std::optional<Empreinte> lectureempreinte(const std::string& valeur)
{
    // Read from the right: size and hash never hold a ";", a name may.
    const auto b = valeur.rfind(';');
    const auto a = b == std::string::npos || b == 0 ? std::string::npos : valeur.rfind(';', b - 1);
    if (a == std::string::npos)
        return std::nullopt;
    Empreinte e;
    e.nom = valeur.substr(0, a);
    const auto taille = entierstrict(valeur.substr(a + 1, b - a - 1));
    e.sha256 = valeur.substr(b + 1);
    if (!taille || !hexa(e.sha256, 64))
        return std::nullopt;
    e.taille = *taille;
    return e;
}

std::optional<Manifeste> lecturemanifeste(const std::string& texte, std::string& raison)
{
    const auto echec = [&](const char* code) {
        raison = code;
        return std::nullopt;
    };
    const auto ls = lignes(texte);
    if (!ls || ls->size() < 8)
        return echec("M1");   // not lines of the manifest's form, or too few
    const char* const entetes[] = {"Format=", "Cible=", "Edition=", "Expire=", "Cle="};
    std::string valeurs[5];
    for (std::size_t i = 0; i < 5; ++i) {
        const std::string& l = (*ls)[i];
        if (l.rfind(entetes[i], 0) != 0)
            return echec("M2");   // a line unknown or out of its place
        valeurs[i] = l.substr(std::char_traits<char>::length(entetes[i]));
    }
    Manifeste m;
    const auto edition = entierstrict(valeurs[2]);
    const auto cle = entierstrict(valeurs[4]);
    if (valeurs[0] != "1")
        return echec("M3");   // a format this program does not know
    if (valeurs[1] != "ABACOR" && valeurs[1] != "QUILLON")
        return echec("M4");
    if (!edition || !date(valeurs[3]) || !cle || *cle < 1 || *cle > 9999)
        return echec("M5");
    if (*edition > editionmax)
        return echec("M11");   // a number that would leave no room to the releases after it
    m.cible = valeurs[1];
    m.edition = *edition;
    m.expire = valeurs[3];
    m.cle = static_cast<int>(*cle);
    std::size_t i = 5;
    for (const char* page : nomspages) {
        const std::string& l = (*ls)[i++];
        const auto e = l.rfind("Page=", 0) == 0 ? lectureempreinte(l.substr(5)) : std::nullopt;
        if (!e || e->nom != page)
            return echec("M6");
        m.pages.push_back(*e);
    }
    for (; i < ls->size(); ++i) {
        const std::string& l = (*ls)[i];
        const auto e = l.rfind("Fichier=", 0) == 0 ? lectureempreinte(l.substr(8)) : std::nullopt;
        if (!e)
            return echec("M7");   // an unknown line, or a file line badly formed
        if (!nomsigne(e->nom))
            return echec("M8");
        for (const auto& deja : m.fichiers)
            if (memefichier(deja.nom, e->nom))
                return echec("M9");   // a name twice: one file would be fetched twice
        m.fichiers.push_back(*e);
    }
    if (m.fichiers.size() > placesliste)
        return echec("M10");
    return m;
}

std::string ecritsignature(const Signature& s)
{
    return "Cle=" + std::to_string(s.cle) + "\r\nSignature=" + s.rs + "\r\n";
}

std::optional<Signature> lecturesignature(const std::string& texte)
{
    const auto ls = lignes(texte);
    if (!ls || ls->size() != 2 || (*ls)[0].rfind("Cle=", 0) != 0 || (*ls)[1].rfind("Signature=", 0) != 0)
        return std::nullopt;
    const auto cle = entierstrict((*ls)[0].substr(4));
    Signature s;
    s.rs = (*ls)[1].substr(10);
    if (!cle || *cle < 1 || *cle > 9999 || !hexa(s.rs, 128))
        return std::nullopt;
    s.cle = static_cast<int>(*cle);
    return s;
}

bool perime(const Manifeste& m, const std::string& aujourdhui)
{
    // Both "YYYY-MM-DD": their text order is their date order.
    return aujourdhui > m.expire;
}

}  // namespace tidewell
