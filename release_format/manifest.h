// The signed manifest of a release and its signature file, as the publishing tool writes them
// and the updater reads them back: plain text, CR LF, one "Key=value" a line, in a fixed
// order. No platform call and no cryptography here: the hashes are hexadecimal text.
#pragma once

#include "names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// The manifest and signature files beside "Version.ini" on the server, and the most either
// can hold: a manifest of 50 files with names of the longest a path takes, a signature file.
inline constexpr const char nommanifeste[] = "Manifeste.ini";
inline constexpr const char nomsignature[] = "Signature.ini";
inline constexpr std::size_t taillemaxmanifeste = 32 * 1024;
inline constexpr std::size_t taillemaxsignature = 4 * 1024;

// The highest release number: far below what 64 bits hold, so that no signed release can
// leave its successors no number to take (the floor a build takes has the same bound).
inline constexpr std::uint64_t editionmax = 999999999;

// A file as the manifest vouches for it: its name, size in bytes and SHA-256 (64 lower-case
// hexadecimal digits).
struct Empreinte {
    std::string nom;
    std::uint64_t taille = 0;
    std::string sha256;
    bool operator==(const Empreinte& autre) const
    {
        return nom == autre.nom && taille == autre.taille && sha256 == autre.sha256;
    }
};

// "<name>;<size>;<sha256>", as a manifest line carries a file after its key.
std::string empreinte(const Empreinte& e);
std::optional<Empreinte> lectureempreinte(const std::string& valeur);

struct Manifeste {
    int format = 1;
    std::string cible;              // "ABACOR" or "QUILLON"
    std::uint64_t edition = 0;      // the release number: only ever grows
    std::string expire;             // "YYYY-MM-DD", UTC: not valid after that day
    int cle = 0;                    // the id of the key that signs it
    std::vector<Empreinte> pages;   // "Version.ini", "Listfich.ini", "Taillefich.ini", in that order
    std::vector<Empreinte> fichiers;   // every listed file, in list order, at most 50
};

// The manifest's exact bytes.
std::string ecritmanifeste(const Manifeste& m);

// Reads a manifest strictly: every line known, in its place, once; names the updater would
// fetch; sizes and hashes well formed; at most 50 files; a release number up to editionmax.
// Nothing, with `raison` set to a short code, for anything else.
std::optional<Manifeste> lecturemanifeste(const std::string& texte, std::string& raison);

// The signature file: the key id and the raw r||s signature (64 bytes) in hexadecimal.
struct Signature {
    int cle = 0;
    std::string rs;   // 128 lower-case hexadecimal digits
};
std::string ecritsignature(const Signature& s);
std::optional<Signature> lecturesignature(const std::string& texte);

// The text's lines, each ended by CR LF; nothing when a line is ended otherwise.
std::optional<std::vector<std::string>> lignes(const std::string& texte);

// A decimal number without sign, spaces or leading zeros, within 64 bits.
std::optional<std::uint64_t> entierstrict(const std::string& s);

// True when the manifest has expired on `aujourdhui` ("YYYY-MM-DD", UTC).
bool perime(const Manifeste& m, const std::string& aujourdhui);

}  // namespace tidewell
