// Publishing a release: the server tree of one application, laid out as the updater reads it.
#pragma once

#include "forms.h"
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

// A SHA-256 computed as the bytes come, so that a file is hashed as it is read once, never
// held whole for it.
class Hachage {
public:
    virtual ~Hachage() = default;
    virtual void ajoute(const char* octets, std::size_t taille) = 0;
    // 64 lower-case hexadecimal digits; empty on failure.
    virtual std::string fin() = 0;
};

// A public key the maker names: its id and X||Y in 128 hexadecimal digits.
struct ClePublique {
    int cle = 0;
    std::string publique;
};

// What signing a publication takes: the key's id, the release number (0: one more than the
// tree's current release, which is then needed), the last day the release is valid
// ("YYYY-MM-DD", UTC), and the routines that hash (SHA-256, hexadecimal) and sign (r||s,
// hexadecimal; empty on failure). The tree's current release is trusted only once its
// signature verifies (`verifie`: r||s over bytes by a public key) with one of `connues`, the
// signing key's own public key and, at a rotation, the previous key's.
struct Signataire {
    int cle = 0;
    std::uint64_t edition = 0;
    std::string expire;
    std::function<std::string(const std::string& octets)> sha256;
    std::function<std::string(const std::filesystem::path& fichier)> sha256fichier;
    std::function<std::string(const std::string& octets)> signe;
    std::vector<ClePublique> connues;
    std::function<bool(const std::string& publique, const std::string& rs, const std::string& octets)> verifie;
    // Deltas are made from each file's versions in this many of the last releases published
    // (0: none); the files of the release and of that many before it, its deltas' bases, are
    // kept beside the tree for the next time and for --check (none with 0).
    std::size_t deltas = 3;
    // A SHA-256 as the bytes come; without it the bytes are gathered and given to `sha256`.
    std::function<std::unique_ptr<Hachage>()> hachage;
    // Files above this size get no cheaper form: the updater takes no delta of them, and
    // making one holds the file's window in memory. Lowered only by tests.
    std::uint64_t tailleformes = tidewell::tailledeltamax;
    // The settings each delta is made with, the smallest kept.
    std::vector<Reglage> reglages = reglagesdelta;
    // The share of the copies that may install the release, in hundredths of a percent (see
    // rollout.h): nothing publishes a new release for every copy, and signs one again as
    // staged as it was.
    std::optional<std::uint32_t> part;
    // The least sequence the share takes: the minutes since 2026 by the maker's clock, so that
    // a tree put back from a backup or another machine's still says something newer than it
    // said before (0 in tests: the tree's own sequence alone).
    std::uint64_t minute = 0;
};

// Where the maker's copy keeps the files of its last releases, which deltas start from: beside
// the tree, never inside what is uploaded.
std::filesystem::path historique(const std::filesystem::path& arbre);

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
