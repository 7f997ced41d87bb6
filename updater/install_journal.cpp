#include "install_journal.h"

#include "text.h"
#include "update_files.h"

#include <algorithm>

namespace tidewell {

namespace {

bool memecontenu(const Empreinte& a, const Empreinte& b)
{
    return a.taille == b.taille && a.sha256 == b.sha256;
}

constexpr std::uint64_t sanslimite = ~std::uint64_t{0};

// Saturating: a size no volume holds stays larger than any free space.
std::uint64_t arrondicluster(std::uint64_t octets, std::uint64_t cluster)
{
    if (cluster == 0)
        return octets;
    const std::uint64_t clusters = octets / cluster + (octets % cluster != 0);
    return clusters > sanslimite / cluster ? sanslimite : clusters * cluster;
}

}  // namespace

std::string nomsauvegardesignee(const std::string& nom, int rang)
{
    return rang == 0 ? nom + ".sav" : nom + ".~" + std::to_string(rang) + ".sav";
}

std::string ecritjournal(const Journal& j)
{
    std::string t = std::string("Format=1\r\nEtape=")
                    + (j.etape == Journal::Etape::rangement ? "rangement" : "remplacement") + "\r\nEdition="
                    + std::to_string(j.edition) + "\r\nCle=" + std::to_string(j.cle) + "\r\n";
    for (const auto& f : j.fichiers) {
        t += "Fichier=" + empreinte(f.nouveau) + "\r\n";
        if (f.ancien)
            t += "Sauvegarde=" + empreinte(*f.ancien) + "\r\n";
    }
    return t;
}

std::optional<Journal> lecturejournal(const std::string& texte)
{
    const auto ls = texte.size() <= taillemaxjournal ? lignes(texte) : std::nullopt;
    if (!ls || ls->size() < 5 || (*ls)[0] != "Format=1" || (*ls)[2].rfind("Edition=", 0) != 0
        || (*ls)[3].rfind("Cle=", 0) != 0)
        return std::nullopt;
    Journal j;
    if ((*ls)[1] == "Etape=rangement")
        j.etape = Journal::Etape::rangement;
    else if ((*ls)[1] != "Etape=remplacement")
        return std::nullopt;
    const auto edition = entierstrict((*ls)[2].substr(8));
    const auto cle = entierstrict((*ls)[3].substr(4));
    if (!edition || *edition > editionmax || !cle || *cle < 1 || *cle > 9999)
        return std::nullopt;
    j.edition = *edition;
    j.cle = static_cast<int>(*cle);
    for (std::size_t i = 4; i < ls->size(); ++i) {
        const std::string& l = (*ls)[i];
        if (l.rfind("Fichier=", 0) == 0) {
            const auto e = lectureempreinte(l.substr(8));
            if (!e || !nomsigne(e->nom) || j.fichiers.size() == placesliste)
                return std::nullopt;
            for (const auto& deja : j.fichiers)
                if (memefichier(deja.nouveau.nom, e->nom))
                    return std::nullopt;
            j.fichiers.push_back({*e, std::nullopt});
        } else if (l.rfind("Sauvegarde=", 0) == 0) {
            const auto e = lectureempreinte(l.substr(11));
            if (!e || j.fichiers.empty() || j.fichiers.back().ancien)
                return std::nullopt;
            bool sien = false;
            for (int rang = 0; rang < rangssauvegarde; ++rang)
                sien = sien || e->nom == nomsauvegardesignee(j.fichiers.back().nouveau.nom, rang);
            if (!sien)
                return std::nullopt;
            j.fichiers.back().ancien = *e;
        } else {
            return std::nullopt;
        }
    }
    return j;
}

Reprise decidereprise(const Journal& j, const std::vector<Constat>& constats)
{
    Reprise r;
    r.garde = j.etape == Journal::Etape::rangement;
    if (r.garde || constats.size() != j.fichiers.size())
        return r;
    r.garde = true;
    for (std::size_t i = 0; i < constats.size(); ++i)
        r.garde = r.garde && constats[i].fichier && memecontenu(*constats[i].fichier, j.fichiers[i].nouveau);
    if (r.garde)
        return r;
    for (std::size_t i = 0; i < constats.size(); ++i) {
        const EntreeJournal& e = j.fichiers[i];
        const Constat& c = constats[i];
        const bool ancien = e.ancien ? c.fichier && memecontenu(*c.fichier, *e.ancien) : !c.fichier;
        const bool nouveau = c.fichier && memecontenu(*c.fichier, e.nouveau);
        Geste g = Geste::rien;
        if (ancien)
            g = Geste::rien;
        else if (e.ancien && c.sauvegarde && (nouveau || !c.fichier))
            g = Geste::remetsauvegarde;
        else if (nouveau)
            g = e.ancien ? Geste::impossible : Geste::supprime;
        r.gestes.push_back(g);
    }
    return r;
}

std::uint64_t placenecessaire(const std::vector<std::uint64_t>& nouveaux,
                              const std::vector<std::uint64_t>& remplaces, std::uint64_t journal,
                              std::uint64_t cluster)
{
    // The journal and the record are each written beside their previous text.
    std::uint64_t total = 2 * arrondicluster(journal, cluster) + 2 * arrondicluster(64, cluster);
    for (const auto* tailles : {&nouveaux, &remplaces})
        for (const std::uint64_t t : *tailles)
            total = std::min(sanslimite - arrondicluster(t, cluster), total) + arrondicluster(t, cluster);
    return total;
}

}  // namespace tidewell
