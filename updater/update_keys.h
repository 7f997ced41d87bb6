// The release signing keys built into the updater (TIDEWELL_UPDATE_KEYS) and the lowest
// release number it installs without a record of the last one (TIDEWELL_RELEASE_FLOOR). A
// build with keys also carries both keys and revision as its resource IDENTITE.
// A build without keys checks no signature and asks the server for nothing more.
// The values are one small generated source per build (update_values.cpp.in); whether a
// build has keys at all is known when its run is compiled (update_flavour.h, generated).
#pragma once

#include "update_flavour.h"

#include <cstddef>
#include <cstdint>

namespace tidewell {

struct CleMaj {
    int id;
    const char* publique;   // 128 hexadecimal digits: X then Y of the P-256 point
};

extern const CleMaj tableclesmaj[];   // ended by {0, nullptr}
extern const std::size_t nombreclesmaj;
extern const std::uint64_t editionplancher;
// The updater's own revision (TIDEWELL_UPDATER_REVISION): an offered updater is taken only
// above it.
extern const std::uint64_t revisionmaj;

}  // namespace tidewell
