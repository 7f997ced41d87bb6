// A signed release's offer of a new updater, as the maker's tool makes it: the program checked
// as one that can serve the copies (a Windows GUI program of the tree's machine, a revision
// above the last offered, the key that signs the release among its own), copied beside its
// cheaper forms, and the offer bound to the release's manifest and signed. Once offered, an
// updater stays offered by every later release until a newer one replaces it.
#pragma once

#include "signer.h"
#include "updater_offer.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tidewell::publication {

struct OffrePrete {
    std::string texte, signature;   // empty: the release offers no updater
    std::filesystem::path dossier;  // its Outil/ goes into the new tree whole
    std::uint64_t revision = 0;
};

// The offer of the tree's current release, trusted: signed by the key that signed that release
// (`courante`), bound to its manifest, and its program still what it says. Nothing, and no
// error, when the tree offers no updater.
std::optional<Offre> offrecourante(const std::filesystem::path& arbre, const Signataire& s,
                                   const std::optional<Manifeste>& courante, std::string& erreur);

// Prepares, in `provisoire`, the offer that goes with the manifest just signed: of `programme`
// (for the machine `machine`) when one is given, otherwise of the tree's current one. An error
// text, empty when done; `o` is left empty when nothing is offered.
std::string prepareoffre(const std::filesystem::path& arbre, const Signataire& s, const std::optional<Manifeste>& courante,
                         const std::string& manifeste, const std::filesystem::path& programme, std::uint16_t machine,
                         const std::filesystem::path& provisoire, OffrePrete& o, std::vector<std::string>& remarques);

// Once published: keeps the offered program beside the tree, for the deltas of the next
// revisions, with those of the `combien` revisions before it.
void gardeprogramme(const std::filesystem::path& arbre, const OffrePrete& o, std::size_t combien);

// Where the history keeps the programs offered, one folder per revision.
std::filesystem::path historiqueprogrammes(const std::filesystem::path& arbre);

}  // namespace tidewell::publication
