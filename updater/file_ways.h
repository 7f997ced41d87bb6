// How a signed run brings each listed file, cheapest first: already in place, a delta from
// the local copy, the compressed file, the plain file. Every way ends with the same check of
// the file's signed size and SHA-256. No platform call here.
#pragma once

#include "forms.h"
#include "manifest.h"

#include <optional>
#include <string>
#include <vector>

namespace tidewell {

struct Voie {
    enum class Sorte { enplace, delta, compresse, entier };
    Sorte sorte = Sorte::entier;
    std::string chemin;   // below the release's address on the server; empty when in place
    Contenu forme;        // what is fetched, as signed (the plain file's own for `entier`)
    Contenu base;         // a delta's base: what the local copy holds
};

// True when what the local copy holds is worth hashing: it has the file's signed size, or a
// delta's base size.
bool localautile(const Empreinte& fichier, const FormesFichier* formes, std::uint64_t taillelocale);

// The ways to bring `fichier`, in the order they are tried, given its forms (if the release
// offers any) and what its local copy holds (nothing when there is none, or it was not worth
// reading). A file already in place has that one way only; otherwise the plain file comes last.
// A listed file lies under Maj/ and its forms under Formes/; one kept under a folder of its
// own (`dossier`, ending in "/") lies there, with its forms under that folder's Formes/.
std::vector<Voie> voies(const Empreinte& fichier, const FormesFichier* formes, const std::optional<Contenu>& local,
                        const std::string& dossier = "");

}  // namespace tidewell
