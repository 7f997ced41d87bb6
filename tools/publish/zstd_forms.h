// The zstd frames of a signed publication's cheaper forms, made with the reference library:
// a file compressed, and a delta that turns a base into the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tidewell::publication {

// How a frame is made: the level, long matching, and where not 0 the match length the
// search aims for and the log of its chain table, in place of the level's own.
struct Reglage {
    int niveau = 19;
    bool longue = true;
    int cible = 0;
    int chaine = 0;
};

// A file compressed: a high level with a window of 2^27 bytes.
inline constexpr Reglage reglagecompresse{19, true, 0, 0};
inline constexpr int fenetrecompresse = 27;

// Each delta is made with each of these and the smallest kept: no one setting wins on every
// pair of files (a low level with long matching finds a moved block that the high level's
// chains miss; deep chains with long targets win on executables).
extern const std::vector<Reglage> reglagesdelta;

// The window a delta from a base of `base` bytes to a file of `fichier` bytes needs: it
// reaches back over the whole base, never beyond what the updater's decoder takes.
int fenetredelta(std::uint64_t base, std::uint64_t fichier);

// Up to `taille` bytes into `tampon`, how many in `lus` (0 at the end); false on an error.
using Lecture = std::function<bool(char* tampon, std::size_t taille, std::size_t& lus)>;

// The `taille` bytes that `entree` gives, made into one frame written to `sortie`, with
// `base` as its prefix when given (zstd's --patch-from); false on any failure, the library's
// running out of memory included, and then what `sortie` holds means nothing.
bool compresseflux(const Lecture& entree, std::uint64_t taille, const std::string* base, const Reglage& r,
                   int fenetrelog, const std::filesystem::path& sortie);

// Decodes the frame in the file `forme` as the updater does, with `base` as its prefix when
// given, handing what it makes to `sortie` piece by piece; false when the updater would refuse
// its header (see refusentete) for a file of `taille` bytes, when it does not decode, or when
// anything follows it.
bool decodeflux(const std::filesystem::path& forme, const std::string* base, std::uint64_t taille,
                const std::function<void(const char*, std::size_t)>& sortie);

// Why the updater refuses, before it decodes a byte, the frame that starts with these bytes
// as a form of a file of `taille` bytes: not a zstd frame, another content size or none, a
// window above 2^fenetremaxlog, a dictionary named. Empty when it takes it.
std::string refusentete(const char* octets, std::size_t n, std::uint64_t taille);

// The file compressed with reglagecompresse; empty on failure.
std::string compressezstd(const std::string& fichier);

// A frame that turns `base` into `fichier` with `base` as its prefix, made with `r`; empty on
// failure.
std::string deltazstd(const std::string& base, const std::string& fichier, const Reglage& r);

// What a frame decodes to, with `base` as its prefix when given, under the decoder's window
// bound; nothing (and false) when it does not decode.
bool decodezstd(const std::string& frame, const std::string* base, std::string& resultat);

}  // namespace tidewell::publication
