#include "updater_offer.h"

namespace tidewell {

namespace {

std::string contenu(const Contenu& c)
{
    return std::to_string(c.taille) + ";" + c.sha256;
}

// "<size>;<sha256>" repeated `n` times, each pair checked as a manifest line's size and hash.
std::optional<std::vector<Contenu>> contenus(const std::string& valeur, std::size_t n)
{
    std::vector<std::string> champs(1);
    for (char c : valeur)
        if (c == ';')
            champs.emplace_back();
        else
            champs.back() += c;
    if (champs.size() != 2 * n)
        return std::nullopt;
    std::vector<Contenu> lus;
    for (std::size_t i = 0; i < n; ++i) {
        const auto e = lectureempreinte("1;" + champs[2 * i] + ";" + champs[2 * i + 1]);
        if (!e)
            return std::nullopt;
        lus.push_back({e->taille, e->sha256});
    }
    return lus;
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

std::string ecritoffre(const Offre& o)
{
    std::string t = "Offre=1\r\nManifeste=" + o.manifeste + "\r\nCle=" + std::to_string(o.cle) + "\r\nRevision="
                    + std::to_string(o.revision) + "\r\nProgramme=" + contenu(o.programme) + "\r\n";
    if (o.formes.compresse)
        t += "Compresse=" + contenu(*o.formes.compresse) + "\r\n";
    for (const Delta& d : o.formes.deltas)
        t += "Delta=" + contenu(d.base) + ";" + contenu(d.forme) + "\r\n";
    return t;
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
    const auto programme = contenus((*ls)[4].substr(10), 1);
    if (!revision || *revision < 1 || *revision > editionmax || !programme
        || programme->front().taille > taillemaxprogramme)
        return std::nullopt;
    o.revision = *revision;
    o.programme = programme->front();
    for (std::size_t i = 5; i < ls->size(); ++i) {
        const std::string& l = (*ls)[i];
        if (l.rfind("Compresse=", 0) == 0 && i == 5) {
            const auto c = contenus(l.substr(10), 1);
            if (!c)
                return std::nullopt;
            o.formes.compresse = c->front();
            continue;
        }
        const auto d = l.rfind("Delta=", 0) == 0 ? contenus(l.substr(6), 2) : std::nullopt;
        if (!d || o.formes.deltas.size() == deltasmax || (*d)[0] == o.programme)
            return std::nullopt;
        for (const Delta& autre : o.formes.deltas)
            if (autre.base.sha256.compare(0, 16, (*d)[0].sha256, 0, 16) == 0)
                return std::nullopt;   // two deltas under one name
        o.formes.deltas.push_back({(*d)[0], (*d)[1]});
    }
    return o;
}

}  // namespace tidewell
