// What a build with release keys decides about a release before installing any of it, short
// of the cryptography itself (the platform's): the state kept between runs, the manifest's
// checks once its signature has verified, and the reason codes the user is shown.
#pragma once

#include "manifest.h"
#include "pages.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tidewell {

// Reason codes. M1 to M10 are the manifest's own (see lecturemanifeste); F<n> is the n-th
// listed file, which did not arrive whole and as signed; I<n> and R<n> come from the install
// (see installerelease).
namespace coderefus {
inline constexpr char absent[] = "S1";        // no manifest or signature page
inline constexpr char signature[] = "S2";     // a signature file malformed, or by a key not built in
inline constexpr char invalide[] = "S3";      // the signature does not verify
inline constexpr char autrecle[] = "S4";      // the manifest names another key than its signature
inline constexpr char autrecible[] = "S5";    // the manifest is another application's
inline constexpr char clepassee[] = "S6";     // a key retired by a rotation
inline constexpr char anterieure[] = "S7";    // a release older than the one installed
inline constexpr char perimee[] = "S8";       // the manifest is past its expiry
inline constexpr char page[] = "S9";          // an update file missing or not the signed bytes
inline constexpr char liste[] = "S10";        // the file list is not the manifest's
inline constexpr char place[] = "P1";         // too little room on the volume for the release
inline constexpr char etat[] = "P2";          // the record of the last release cannot be written
inline constexpr char verrou[] = "P3";        // something that is no lock sits under the lock's name
}  // namespace coderefus

// The last signed release installed beside the updater (nometat), and the id of the key that
// signed it.
// What is read of it at most: a record is some thirty bytes, anything much longer is not one.
inline constexpr std::size_t taillemaxetat = 256;
struct EtatSigne {
    std::uint64_t edition = 0;
    int cle = 0;
};
std::string ecritetat(const EtatSigne& e);
// Nothing for a text that is not exactly what ecritetat writes.
std::optional<EtatSigne> lectureetat(const std::string& texte);

// What a release must reach: the recorded state, never below the built-in floor; the floor
// alone (and any built-in key) when there is no readable record.
EtatSigne minimumrequis(const std::optional<EtatSigne>& etat, std::uint64_t plancher);

// The reason code refusing a manifest whose signature by key `clesignature` verified, for
// application `cible` on UTC day `aujourdhui` ("YYYY-MM-DD"); empty when it is accepted.
std::string refusmanifeste(const Manifeste& m, int clesignature, const std::string& cible,
                           const EtatSigne& minimum, const std::string& aujourdhui);

// True when the list names exactly the manifest's files, in its order.
bool listeconforme(const Manifeste& m, const ListeFichiers& liste);

// The list the manifest's files make, in its order.
ListeFichiers listedepuis(const Manifeste& m);

}  // namespace tidewell
