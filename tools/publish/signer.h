// What signing a publication takes, as the publisher and the makers of the cheaper forms and
// of the offered updater share it: the maker's keys and routines, and where the maker's copy
// of the tree keeps the releases published before.
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

}  // namespace tidewell::publication
