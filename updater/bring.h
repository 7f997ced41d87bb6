// Bringing each file of a signed release beside its destination by the cheapest way that
// works (see file_ways.h), falling back way after way; only the plain file failing fails the
// file.
#pragma once

#include "file_ways.h"
#include "internet.h"

#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// What the local copy of a listed file holds, read only when that can spare a download.
std::optional<Contenu> contenulocal(const std::string& dossier, const Empreinte& fichier, const FormesFichier* formes);

// What a listed file found in place holds, read through `tenu`, which then keeps any other
// program from changing or deleting it until it is closed; nothing where it cannot be held so.
std::optional<Contenu> contenutenu(const std::string& dossier, const Empreinte& fichier, libmaj::PoigneeFichier& tenu);

// The size of the file the folder holds under a listed name; nothing when there is none.
std::optional<std::uint64_t> taillelocale(const std::string& dossier, const std::string& nom);

// The name a form arrives under beside the file's destination, before it is decoded.
std::string nomforme(const std::string& destination);

// How a file came, for the run log.
struct Apport {
    const Voie* voie = nullptr;       // the last way tried: the one that brought it, when it came
    std::size_t adresse = 0;          // that try's address, as an index of the addresses given
    libmaj::Transfert transfert;      // what that try's download did
    unsigned long long recus = 0;     // body bytes received for the file over every way and address
    bool garde = false;               // taken whole from what an earlier run kept, nothing fetched
};

// Where a run's files come from: the release's base addresses on the server and its mirrors,
// all serving the same signed content; the one tried first, left at the one that brought the
// last file; and those whose forms went unanswered, which then bring their files plain.
struct Sources {
    std::vector<std::string> adresses;
    std::size_t premiere = 0;
    std::vector<char> sansformes;   // not vector<bool>: its code costs the program a kilobyte
};

// The file, arrived whole and as signed beside its destination, by the first of `voies` that
// brings it (none for a file already in place), or kept whole by an earlier run; an empty
// arrival when none did. The addresses are tried in turn from the first, each with every way,
// until one brings it. An address that does not answer for the plain file is left; one that
// does not answer for a form is asked for its plain files alone from then on.
libmaj::Arrivee apportefichier(const std::vector<Voie>& voies, Sources& sources, const std::string& dossier,
                               const Empreinte& fichier, Apport& apport);

// Removes the downloads cut short that no way of `plans` (one per file of `m`; none: every
// one) takes up; true when it removed any.
bool nettoiepartiels(const std::string& dossier, const Manifeste& m, const std::vector<std::vector<Voie>>& plans);

}  // namespace tidewell
