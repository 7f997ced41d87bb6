#include "updater_offer.h"

namespace tidewell {

namespace {

// "<size>;<sha256>", checked as a manifest line's size and hash.
std::optional<Contenu> contenu(const std::string& valeur)
{
    const auto e = lectureempreinte("1;" + valeur);
    return e && e->nom == "1" ? std::optional<Contenu>(Contenu{e->taille, e->sha256}) : std::nullopt;
}

}  // namespace

std::string cheminprogramme()
{
    return std::string(dossieroutil) + "/" + nomprogramme;
}

std::string cheminprogrammecompresse()
{
    return std::string(dossieroutil) + "/" + chemincompresse(nomprogramme);
}

std::string cheminprogrammedelta(const std::string& basesha256)
{
    return std::string(dossieroutil) + "/" + chemindelta(nomprogramme, basesha256);
}

std::optional<Offre> lectureoffre(const std::string& texte, const Manifeste& m, const std::string& sha256manifeste)
{
    const auto ls = lignes(texte);
    if (!ls || ls->size() < 5 || (*ls)[0] != "Offre=1" || (*ls)[1] != "Manifeste=" + sha256manifeste
        || (*ls)[2] != "Cle=" + std::to_string(m.cle) || (*ls)[3].rfind("Revision=", 0) != 0
        || (*ls)[4].rfind("Programme=", 0) != 0)
        return std::nullopt;
    Offre o;
    o.manifeste = sha256manifeste;
    o.cle = m.cle;
    const auto revision = entierstrict((*ls)[3].substr(9));
    const auto programme = contenu((*ls)[4].substr(10));
    if (!revision || *revision < 1 || *revision > editionmax || !programme || programme->taille > taillemaxprogramme)
        return std::nullopt;
    o.revision = *revision;
    o.programme = *programme;
    for (std::size_t i = 5; i < ls->size(); ++i) {
        const std::string& l = (*ls)[i];
        if (i == 5 && l.rfind("Compresse=", 0) == 0) {
            if (!(o.formes.compresse = contenu(l.substr(10))))
                return std::nullopt;
            continue;
        }
        // "Delta=<base>;<form>", each "<size>;<sha256>".
        const auto coupe = l.find(';', l.find(';') + 1);
        const auto base = l.rfind("Delta=", 0) == 0 && coupe != std::string::npos ? contenu(l.substr(6, coupe - 6))
                                                                                    : std::nullopt;
        const auto forme = base ? contenu(l.substr(coupe + 1)) : std::nullopt;
        if (!forme || o.formes.deltas.size() == deltasmax || *base == o.programme)
            return std::nullopt;
        for (const Delta& autre : o.formes.deltas)
            if (autre.base.sha256.compare(0, 16, base->sha256, 0, 16) == 0)
                return std::nullopt;   // two deltas under one name
        o.formes.deltas.push_back({*base, *forme});
    }
    return o;
}

}  // namespace tidewell
