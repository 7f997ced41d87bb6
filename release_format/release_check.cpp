#include "release_check.h"

namespace tidewell {

std::string ecritetat(const EtatSigne& e)
{
    return "Edition=" + std::to_string(e.edition) + "\r\nCle=" + std::to_string(e.cle) + "\r\n";
}

std::optional<EtatSigne> lectureetat(const std::string& texte)
{
    const auto ls = lignes(texte);
    if (!ls || ls->size() != 2 || (*ls)[0].rfind("Edition=", 0) != 0 || (*ls)[1].rfind("Cle=", 0) != 0)
        return std::nullopt;
    const auto edition = entierstrict((*ls)[0].substr(8));
    const auto cle = entierstrict((*ls)[1].substr(4));
    if (!edition || *edition > editionmax || !cle || *cle < 1 || *cle > 9999)
        return std::nullopt;
    return EtatSigne{*edition, static_cast<int>(*cle)};
}

EtatSigne minimumrequis(const std::optional<EtatSigne>& etat, std::uint64_t plancher)
{
    EtatSigne m{plancher, 0};
    if (etat) {
        m.cle = etat->cle;
        if (etat->edition > m.edition)
            m.edition = etat->edition;
    }
    return m;
}

std::string refusmanifeste(const Manifeste& m, int clesignature, const std::string& cible,
                           const EtatSigne& minimum, const std::string& aujourdhui)
{
    if (m.cle != clesignature)
        return coderefus::autrecle;
    if (m.cible != cible)
        return coderefus::autrecible;
    if (m.cle < minimum.cle)
        return coderefus::clepassee;
    if (m.edition < minimum.edition)
        return coderefus::anterieure;
    if (perime(m, aujourdhui))
        return coderefus::perimee;
    return {};
}

bool listeconforme(const Manifeste& m, const ListeFichiers& liste)
{
    if (static_cast<std::size_t>(liste.nombre) != m.fichiers.size() || liste.noms.size() != m.fichiers.size())
        return false;
    for (std::size_t i = 0; i < m.fichiers.size(); ++i)
        if (liste.noms[i] != m.fichiers[i].nom)
            return false;
    return true;
}

ListeFichiers listedepuis(const Manifeste& m)
{
    ListeFichiers liste;
    for (const auto& f : m.fichiers)
        liste.noms.push_back(f.nom);
    liste.nombre = static_cast<std::int16_t>(liste.noms.size());   // at most 50
    return liste;
}

}  // namespace tidewell
