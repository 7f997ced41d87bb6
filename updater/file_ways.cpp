#include "file_ways.h"

namespace tidewell {

bool localautile(const Empreinte& fichier, const FormesFichier* formes, std::uint64_t taillelocale)
{
    if (taillelocale == fichier.taille)
        return true;
    if (formes)
        for (const Delta& d : formes->deltas)
            if (d.base.taille == taillelocale)
                return true;
    return false;
}

std::vector<Voie> voies(const Empreinte& fichier, const FormesFichier* formes, const std::optional<Contenu>& local,
                        const std::string& dossier)
{
    if (local && *local == Contenu{fichier.taille, fichier.sha256})
        return {Voie{Voie::Sorte::enplace, {}, {}, {}}};
    std::vector<Voie> v;
    // Never a delta the decoder could not hold in a 32-bit process's address space.
    if (formes && local && fichier.taille <= tailledeltamax)
        for (const Delta& d : formes->deltas)
            if (d.base == *local && d.base.taille <= tailledeltamax) {
                v.push_back({Voie::Sorte::delta, dossier + chemindelta(fichier.nom, d.base.sha256), d.forme, d.base});
                break;
            }
    if (formes && formes->compresse)
        v.push_back({Voie::Sorte::compresse, dossier + chemincompresse(fichier.nom), *formes->compresse, {}});
    v.push_back({Voie::Sorte::entier, (dossier.empty() ? "Maj/" : dossier) + fichier.nom, {fichier.taille, fichier.sha256}, {}});
    return v;
}

}  // namespace tidewell
