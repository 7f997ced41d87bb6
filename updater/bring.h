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

// The file, arrived whole and as signed beside its destination, by the first of `voies` that
// brings it (none for a file already in place); an empty arrival when none did. `adresse` is
// the release's base address on the server.
// `utilisee`, when given, is then the way that brought it.
libmaj::Arrivee apportefichier(const std::vector<Voie>& voies, const std::string& adresse, const std::string& dossier,
                               const Empreinte& fichier, const Voie** utilisee = nullptr);

}  // namespace tidewell
