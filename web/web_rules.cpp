#include "web_rules.h"

#include "text.h"

namespace libmaj {

bool contientmarqueur(const std::string& texte)
{
    if (texte.empty())
        return false;
    const std::string haut = majuscules(texte);
    return haut.find("ERREUR 404") != std::string::npos || haut.find("ERROR 404") != std::string::npos;
}

std::optional<unsigned long long> longueurdepuis(const std::string& valeur)
{
    if (valeur.empty() || valeur.size() > 20)
        return std::nullopt;
    unsigned long long n = 0;
    for (char c : valeur) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const unsigned chiffre = static_cast<unsigned>(c - '0');
        if (n > (~0ULL - chiffre) / 10)
            return std::nullopt;
        n = n * 10 + chiffre;
    }
    return n;
}

bool encodageidentite(const std::string& valeur)
{
    return valeur.empty() || majuscules(valeur) == "IDENTITY";
}

bool statutsucces(unsigned long statut)
{
    return statut >= 200 && statut < 300;
}

namespace {

// What every fetch needs before its body counts at all.
bool corpslisible(const Lecture& lecture)
{
    return statutsucces(lecture.statuthttp) && !lecture.encodee && !lecture.longueurinvalide
           && !lecture.echeclecture;
}

}  // namespace

bool pageabsente(const Lecture& lecture, const std::string& texte)
{
    const unsigned long s = lecture.statuthttp;
    return (s >= 400 && s < 500 && s != 408 && s != 429) || (corpslisible(lecture) && contientmarqueur(texte));
}

std::int16_t statutpage(const Lecture& lecture, const std::string& texte, bool signee)
{
    if (!corpslisible(lecture) || lecture.tropgrand || (!signee && !lecture.longueurannoncee))
        return pagemanquante;
    if (lecture.longueurannoncee && *lecture.longueurannoncee != texte.size())
        return pagemanquante;
    return contientmarqueur(texte) ? pagemanquante : pagelue;
}

bool corpscomplet(const Lecture& lecture, unsigned long long recus)
{
    // Without a length the end of a body cannot be told from a cut connection.
    return corpslisible(lecture) && lecture.longueurannoncee && *lecture.longueurannoncee == recus;
}

bool corpssignecomplet(const Lecture& lecture, unsigned long long recus, unsigned long long taille)
{
    return corpslisible(lecture) && (!lecture.longueurannoncee || *lecture.longueurannoncee == taille) && recus == taille;
}

std::optional<Plage> plagedepuis(const std::string& valeur)
{
    // Digits only: a sign, a space or an empty number is no range this updater asked for.
    const auto nombre = [&](std::size_t debut, std::size_t fin) -> std::optional<unsigned long long> {
        return fin > debut ? longueurdepuis(valeur.substr(debut, fin - debut)) : std::nullopt;
    };
    if (valeur.compare(0, 6, "bytes ") != 0)
        return std::nullopt;
    const auto tiret = valeur.find('-', 6), barre = valeur.find('/', 6);
    if (tiret == std::string::npos || barre == std::string::npos || barre < tiret)
        return std::nullopt;
    const auto premier = nombre(6, tiret), dernier = nombre(tiret + 1, barre), total = nombre(barre + 1, valeur.size());
    if (!premier || !dernier || !total || *premier > *dernier || *dernier >= *total)
        return std::nullopt;
    return Plage{*premier, *dernier, *total};
}

Suite suitereprise(const Lecture& lecture, unsigned long long debut, unsigned long long taille)
{
    if (lecture.statuthttp == 200)
        return Suite::recommence;
    const auto p = plagedepuis(lecture.plage);
    const bool reste = p && p->premier == debut && p->dernier + 1 == taille && p->total == taille;
    return lecture.statuthttp == 206 && reste && !lecture.encodee && !lecture.longueurinvalide
                   && (!lecture.longueurannoncee || *lecture.longueurannoncee == taille - debut)
               ? Suite::ajoute
               : Suite::abandonne;
}

std::string nompartiel(const std::string& destination, const std::string& sha256)
{
    return destination + "." + sha256.substr(0, 16) + ".~prt";
}

bool nompartielde(const std::string& nom)
{
    // Exactly the shape nompartiel gives: a file of anyone else's that merely ends the same
    // way is never taken for one of the updater's own.
    constexpr std::size_t fin = 1 + 16 + 5;
    if (nom.size() <= fin || nom.compare(nom.size() - 5, 5, ".~prt") != 0 || nom[nom.size() - fin] != '.')
        return false;
    const std::string hexa = nom.substr(nom.size() - fin + 1, 16);
    return hexa.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool redirectionpermise(const std::string& adresse)
{
    return majuscules(adresse.substr(0, 8)) == "HTTPS://" && adresse.size() > 8;
}

std::string nomsauvegarde(const std::string& destination)
{
    const auto separateur = destination.find_last_of("\\/");
    const auto debutnom = separateur == std::string::npos ? 0 : separateur + 1;
    const auto point = destination.find_last_of('.');
    if (point == std::string::npos || point < debutnom)
        return destination + ".sav";
    return destination.substr(0, point) + ".sav";
}

std::string nomtemporaire(const std::string& destination)
{
    return destination + ".~maj";
}

}  // namespace libmaj
