// A signed release's offer of a new updater: Tidewell.exe under a folder of its own on the
// server, outside the manifest's list, described (size, SHA-256, revision, cheaper forms) in a
// file that the release's key signs and that names the manifest it goes with, as the list of
// forms does. An updater that never heard of it never asks for it, so the manifest keeps the
// exact form every signed updater already reads. No platform call here.
#pragma once

#include "forms.h"
#include "manifest.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tidewell {

// Beside the manifest on the server; the program and its forms in the folder dossieroutil.
inline constexpr char nomoffre[] = "OffreMaj.ini";
inline constexpr char nomsignatureoffre[] = "SignatureOffreMaj.ini";
inline constexpr char dossieroutil[] = "Outil";
inline constexpr char nomprogramme[] = "Tidewell.exe";
inline constexpr std::size_t taillemaxoffre = 4 * 1024;
// The updater is some 400 KB; a program twenty times that size is no updater of this project,
// and a server cannot make a copy fetch more.
inline constexpr std::uint64_t taillemaxprogramme = 8ull << 20;

struct Offre {
    std::string manifeste;     // the SHA-256 of the manifest's exact bytes
    int cle = 0;               // the id of the key that signs both
    std::uint64_t revision = 0;   // the offered updater's own, which only ever grows
    Contenu programme;
    FormesFichier formes;      // compressed, and deltas from the updater's earlier revisions
};

// Where the program and its forms lie on the server, below the release's address.
std::string cheminprogramme();
std::string cheminprogrammecompresse();
std::string cheminprogrammedelta(const std::string& basesha256);

// The offer's exact bytes.
std::string ecritoffre(const Offre& o);

// Reads an offer strictly, for the verified manifest `m` whose exact bytes hash to
// `sha256manifeste`: every line known and in its place, a revision from 1 to editionmax, a
// program of at most taillemaxprogramme bytes, forms as the list of forms allows them for a
// file. Nothing for anything else: no updater is then offered.
std::optional<Offre> lectureoffre(const std::string& texte, const Manifeste& m, const std::string& sha256manifeste);

}  // namespace tidewell
