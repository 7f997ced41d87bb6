#include "forms.h"

namespace tidewell {

namespace {

// "<n>;<size>;<sha256>[;<size>;<sha256>]": the file's rank in the manifest, then one or two
// contents.
std::optional<std::pair<std::size_t, std::vector<Contenu>>> lectureligne(const std::string& valeur, std::size_t contenus)
{
    std::vector<std::string> champs;
    std::size_t debut = 0;
    for (;;) {
        const auto fin = valeur.find(';', debut);
        champs.push_back(valeur.substr(debut, fin == std::string::npos ? std::string::npos : fin - debut));
        if (fin == std::string::npos)
            break;
        debut = fin + 1;
    }
    if (champs.size() != 1 + 2 * contenus)
        return std::nullopt;
    const auto rang = entierstrict(champs[0]);
    if (!rang || *rang < 1 || *rang > placesliste)
        return std::nullopt;
    std::vector<Contenu> lus;
    for (std::size_t i = 0; i < contenus; ++i) {
        // An Empreinte's reader checks the size and hash; the name it needs is the rank.
        const auto e = lectureempreinte(champs[0] + ";" + champs[1 + 2 * i] + ";" + champs[2 + 2 * i]);
        if (!e)
            return std::nullopt;
        lus.push_back({e->taille, e->sha256});
    }
    return std::make_pair(static_cast<std::size_t>(*rang), lus);
}

}  // namespace

std::string chemincompresse(const std::string& nom)
{
    return std::string(dossierformes) + "/" + nom + ".zst";
}

std::string chemindelta(const std::string& nom, const std::string& basesha256)
{
    return std::string(dossierformes) + "/" + nom + "." + basesha256.substr(0, 16) + ".delta";
}

std::optional<Formes> lectureformes(const std::string& texte, const Manifeste& m, const std::string& sha256manifeste)
{
    const auto ls = lignes(texte);
    if (!ls || ls->size() < 3 || (*ls)[0] != "Formes=1" || (*ls)[1] != "Manifeste=" + sha256manifeste
        || (*ls)[2] != "Cle=" + std::to_string(m.cle))
        return std::nullopt;
    Formes f;
    f.manifeste = sha256manifeste;
    f.cle = m.cle;
    f.fichiers.resize(m.fichiers.size());
    std::size_t dernier = 1;   // lines come in the manifest's order, a file's compressed form first
    bool deltavu = false;
    for (std::size_t i = 3; i < ls->size(); ++i) {
        const std::string& l = (*ls)[i];
        const bool compresse = l.rfind("Compresse=", 0) == 0;
        if (!compresse && l.rfind("Delta=", 0) != 0)
            return std::nullopt;
        const auto lu = lectureligne(l.substr(compresse ? 10 : 6), compresse ? 1 : 2);
        if (!lu || lu->first > m.fichiers.size() || lu->first < dernier)
            return std::nullopt;
        if (lu->first > dernier)
            deltavu = false;
        dernier = lu->first;
        FormesFichier& ff = f.fichiers[lu->first - 1];
        const Empreinte& fichier = m.fichiers[lu->first - 1];
        if (compresse) {
            if (ff.compresse || deltavu)
                return std::nullopt;
            ff.compresse = lu->second[0];
            continue;
        }
        deltavu = true;
        const Delta d{lu->second[0], lu->second[1]};
        if (ff.deltas.size() == deltasmax || d.base == Contenu{fichier.taille, fichier.sha256})
            return std::nullopt;
        for (const Delta& autre : ff.deltas)
            if (autre.base.sha256.compare(0, 16, d.base.sha256, 0, 16) == 0)
                return std::nullopt;   // two deltas under one name
        ff.deltas.push_back(d);
    }
    return f;
}

}  // namespace tidewell
