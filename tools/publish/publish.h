// Publishing a release: the server tree of one application, laid out as the updater reads it.
#pragma once

#include "forms.h"
#include "signer.h"
#include "zstd_forms.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tidewell::publication {

struct Release {
    std::filesystem::path dossier;   // the release's files, all at the top of the folder
    std::string version;             // UTF-8, as given by the maker
    std::string sousversion;
    std::string date;
    // Published unsigned over a tree that holds a signed release: the maker's explicit choice,
    // since every signed client refuses such a release.
    bool sanssignature = false;
    // Signed only: a new updater that this release, and every later one until a newer one,
    // offers to the copies, for the machine the tree's copies run on.
    std::filesystem::path programme{};
    std::uint16_t machine = 0x14c;   // i386: the shipped updater
};

struct Resultat {
    std::vector<std::string> erreurs;   // why the release cannot be published; empty when done
    std::vector<std::string> fichiers;  // the listed names, in list order
    long long kilooctets = 0;           // the total size written to Taillefich.ini
    std::uint64_t edition = 0;          // the signed release number; 0 when not signed
    std::vector<std::string> remarques; // what was published without a cheaper form, and why
    std::uint64_t sequence = 0;         // a change of share: the sequence it was signed as
};


// Checks the release against what the updater can install whole and, if it can, writes into
// `arbre`: Maj/ with the files, Listfich.ini, Taillefich.ini and Version.ini, and with a
// signataire also Manifeste.ini and Signature.ini, and the cheaper forms of the files under
// Formes/, listed in Formes.ini and signed in SignatureFormes.ini, and the updater the tree
// offers (the release's `programme`, or the one offered before) under Outil/ with its offer in
// OffreMaj.ini, signed in SignatureOffreMaj.ini. Signed, the tree's current release must
// verify and still be what it signed, and the new one takes a higher number (and no lower
// key id); unsigned, the tree must hold no signed release unless the release says so. Nothing
// is written when the release is refused; the live tree is switched to the new one whole.
Resultat publie(const Release& release, const std::filesystem::path& arbre, const Signataire* signataire = nullptr);

// Signs the published tree `arbre` again, with a new expiry, release number or key, leaving
// its files, update files and offered updater byte for byte as they are; refused unless the tree's manifest
// verifies with a key of the signataire's `connues` and its files are still what it signed.
Resultat resigne(const std::filesystem::path& arbre, const Signataire& signataire);

// Changes the share of the copies that may install the published tree's current release to
// the signataire's `part`: the rollout file alone is signed (the key must be the release's),
// as the next sequence, and the tree switched whole to one that holds it; refused unless the
// tree's release verifies and its files are still what it signed, and its share, if it has
// one, is the release's, signed.
Resultat deploie(const std::filesystem::path& arbre, const Signataire& signataire);

// Text in code page 1252 from UTF-8; false when a character has no place in that code page.
bool versCP1252(const std::string& utf8, std::string& cp1252);

}  // namespace tidewell::publication
