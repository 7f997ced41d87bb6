// The cheaper forms of a signed release's files: each file compressed, and deltas from the
// versions of it that earlier releases carried, all zstd frames. They are listed, with their
// sizes and SHA-256, in a file of their own that the release's key signs and that names the
// manifest it goes with, so that the manifest and its signature keep the exact form that
// every signed updater already reads, and a list from another release is never taken with
// this one. No platform call here.
#pragma once

#include "manifest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// Beside the manifest on the server; the forms themselves in the folder dossierformes.
inline constexpr char nomformes[] = "Formes.ini";
inline constexpr char nomsignatureformes[] = "SignatureFormes.ini";
inline constexpr char dossierformes[] = "Formes";
// 50 files with the most deltas each and their compressed forms: some 67 KB at the longest
// sizes; twice that leaves room for long names.
inline constexpr std::size_t taillemaxformes = 128 * 1024;
// The most deltas a file may offer: one for each of the last releases the maker keeps.
inline constexpr std::size_t deltasmax = 8;

// What the decoder takes: a frame's window at most 2^fenetremaxlog bytes, and a delta only for
// a file and base of at most tailledeltamax bytes each. A delta is applied with its base
// mapped and its result held whole in memory while it is decoded, so that a 32-bit process
// needs at most twice this much of its address space; a frame asking for more is refused
// before anything is allocated for it.
inline constexpr int fenetremaxlog = 28;
inline constexpr std::uint64_t tailledeltamax = 128ull << 20;

// Bytes as the list vouches for them.
struct Contenu {
    std::uint64_t taille = 0;
    std::string sha256;
    bool operator==(const Contenu& autre) const { return taille == autre.taille && sha256 == autre.sha256; }
};

// A delta turns the base (the file as an earlier release carried it) into the listed file.
struct Delta {
    Contenu base;
    Contenu forme;
};

struct FormesFichier {
    std::optional<Contenu> compresse;
    std::vector<Delta> deltas;
};

struct Formes {
    std::string manifeste;                // the SHA-256 of the manifest's exact bytes
    int cle = 0;                          // the id of the key that signs both
    std::vector<FormesFichier> fichiers;  // one per manifest file, in its order
};

// Where a form lies on the server, below the release's address: the compressed file, and the
// delta from a base, named after the base's hash. A compressed form always ends in ".zst" and
// a delta in ".delta", so that no two files of a release share a form's name.
std::string chemincompresse(const std::string& nom);
std::string chemindelta(const std::string& nom, const std::string& basesha256);

// The list's exact bytes; only the files that offer a form have lines.
std::string ecritformes(const Formes& f);

// Reads the list strictly, for the verified manifest `m` whose exact bytes hash to
// `sha256manifeste`: every line known and in its place, each file of the manifest at most
// once per form and in its order, no more than deltasmax deltas a file, none from the file's
// own bytes or from a base already given. Nothing for anything else: the files then come whole.
std::optional<Formes> lectureformes(const std::string& texte, const Manifeste& m, const std::string& sha256manifeste);

}  // namespace tidewell
