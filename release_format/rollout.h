// The maker's staging of a signed release: the share of the copies that may install it, in a
// file that the release's key signs and that names the manifest it goes with, as the list of
// forms does, so that no server can widen it and no other release's share stands for this
// one's. A sequence number that only rises tells a copy the newest word from an older one
// served after it. A tree without the file leaves the release to every copy. No platform
// call here.
#pragma once

#include "manifest.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tidewell {

// Beside the manifest on the server.
inline constexpr char nomdeploiement[] = "Deploiement.ini";
inline constexpr char nomsignaturedeploiement[] = "SignatureDeploiement.ini";
inline constexpr std::size_t taillemaxdeploiement = 1024;

// Shares are counted in hundredths of a percent: each copy draws a number below partpleine
// once, and installs a release whose share is above it.
inline constexpr std::uint32_t partpleine = 10000;

struct Deploiement {
    std::string manifeste;            // the SHA-256 of the manifest's exact bytes
    int cle = 0;                      // the id of the key that signs both
    std::uint64_t sequence = 1;       // 1 to editionmax; rises at each change of the share
    std::uint32_t part = partpleine;  // 0 to partpleine
};

// The file's exact bytes.
std::string ecritdeploiement(const Deploiement& d);

// Reads the file strictly, for the verified manifest `m` whose exact bytes hash to
// `sha256manifeste`; nothing for anything else.
std::optional<Deploiement> lecturedeploiement(const std::string& texte, const Manifeste& m,
                                              const std::string& sha256manifeste);

// A percentage as the maker writes it and the file carries it: up to three digits, then at
// most two decimals after a point, from 0 to 100 ("50", "0.01", "12.5", "100.00"); in
// hundredths of a percent, nothing for anything else.
std::optional<std::uint32_t> lecturepart(const std::string& texte);
// The shortest such text: "50", "0.01", "12.5".
std::string textepart(std::uint32_t part);

// True when a copy that drew `tirage` is within `part`.
inline bool danslapart(std::uint32_t tirage, std::uint32_t part)
{
    return tirage < part;
}

}  // namespace tidewell
