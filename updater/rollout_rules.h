// What a copy makes of the share a release is served with: its number, drawn once from the
// platform's random source and kept in a file of its own beside the record of the last
// release (nomtirage), and the newest word of the maker it has seen (the release and the
// share's sequence), so that an older share, or none where one was seen, never lets it in.
// No platform call here.
#pragma once

#include "rollout.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tidewell {

// A record is some fifty bytes; anything much longer is not one.
inline constexpr std::size_t taillemaxtirage = 256;

struct Tirage {
    std::uint32_t nombre = 0;     // below partpleine
    std::uint64_t edition = 0;    // the newest release whose share the copy has seen (0: none)
    std::uint64_t sequence = 0;   // and the newest sequence of that share
};
std::string ecrittirage(const Tirage& t);
// Nothing for a text that is not exactly what ecrittirage writes.
std::optional<Tirage> lecturetirage(const std::string& texte);

// The share a verified release came with, as the address that served it served it.
struct Servi {
    bool present = false;                     // a rollout file was read
    bool absent = false;                      // or the server said there is none (see pageabsente)
    std::optional<Deploiement> deploiement;   // and it is this release's, signed by its key
};

struct Jugement {
    bool installe = true;
    std::string raison;    // why it is not yet for this copy, or the share it is within
    bool noter = false;    // `tirage` now holds a newer word of the maker, to keep
};

// Whether the copy installs release `edition` as served; `tirage` is its record (nothing
// when it has none and could draw no number). No file is a share of 100 %, unless the copy
// has seen one for this release or a later one; a file that could not be read, that is not
// this release's, signed, or older than one seen, is "not yet", never "install".
Jugement jugedeploiement(std::uint64_t edition, const Servi& servi, std::optional<Tirage>& tirage);

}  // namespace tidewell
