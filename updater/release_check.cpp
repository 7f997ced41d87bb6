#include "release_check.h"

namespace tidewell {

std::string ecritetat(const EtatSigne& e)
{
    return "Edition=" + std::to_string(e.edition) + "\r\nCle=" + std::to_string(e.cle) + "\r\n";
}

std::optional<EtatSigne> lectureetat(const std::string& texte)
{
    const auto fin1 = texte.find("\r\n");
    if (texte.rfind("Edition=", 0) != 0 || fin1 == std::string::npos)
        return std::nullopt;
    const std::string reste = texte.substr(fin1 + 2);
    if (reste.rfind("Cle=", 0) != 0 || reste.size() < 6 || reste.compare(reste.size() - 2, 2, "\r\n") != 0)
        return std::nullopt;
    const auto edition = entierstrict(texte.substr(8, fin1 - 8));
    const auto cle = entierstrict(reste.substr(4, reste.size() - 6));
    if (!edition || !cle || *cle < 1 || *cle > 9999)
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

}  // namespace tidewell
