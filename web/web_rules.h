// The rules of page fetches and downloads that need no network: what counts as a missing
// page, what a complete body is, and the names of the backup and temporary files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace libmaj {

// Page status: 0 no Internet access, 1 fetched, 2 page missing.
constexpr std::int16_t pagesansinternet = 0;
constexpr std::int16_t pagelue = 1;
constexpr std::int16_t pagemanquante = 2;

// A page fetch never holds more than this: the pages read are small settings files.
constexpr std::size_t taillemaxpage = 1024 * 1024;

// True when the text holds "ERREUR 404" or "ERROR 404" in any mix of case.
bool contientmarqueur(const std::string& texte);

// What was read of a page, and how the read went.
struct Lecture {
    unsigned long statuthttp = 0;            // 0 when the server gave none
    std::optional<unsigned long long> longueurannoncee;   // Content-Length, when sent and valid
    bool longueurinvalide = false;           // a Content-Length that is not a plain number
    bool encodee = false;                    // a Content-Encoding other than identity
    bool echeclecture = false;               // a read failed or timed out before the body's end
    bool tropgrand = false;                  // stopped at taillemaxpage
    std::string plage;                       // Content-Range, as sent
};

// A Content-Length value: decimal digits only, within 64 bits; nothing otherwise.
std::optional<unsigned long long> longueurdepuis(const std::string& valeur);

// True for a Content-Encoding value that leaves the body as sent: none, or "identity".
bool encodageidentite(const std::string& valeur);

// True for a success status (2xx): the only answer whose body is the page or the file.
bool statutsucces(unsigned long statut);

// The status of an opened page: missing unless a success status came with a body that is
// plainly sent, arrived whole (of its announced length, which only a page the caller checks
// against its signed hash may lack) and fits, and holds no missing-page marker.
std::int16_t statutpage(const Lecture& lecture, const std::string& texte, bool signee = false);

// True when the server said the page is not there: a status that no retry would change (4xx,
// but for 408 and 429), or the missing-page marker in a whole body. A failure that may pass (no
// answer, a 5xx, a body cut short) is not this.
bool pageabsente(const Lecture& lecture, const std::string& texte);

// True when a download's body is whole: a success status, a plainly sent body, no failed
// read, and exactly the announced length, which must be announced.
bool corpscomplet(const Lecture& lecture, unsigned long long recus);

// The same for a signed file of `taille` bytes, whose size and hash prove it whole: sent
// with that length, or with none (in chunks, or ended by the connection's close).
bool corpssignecomplet(const Lecture& lecture, unsigned long long recus, unsigned long long taille);

// A Content-Range value of a part: "bytes FIRST-LAST/TOTAL", nothing for any other form.
struct Plage {
    unsigned long long premier = 0, dernier = 0, total = 0;
};
std::optional<Plage> plagedepuis(const std::string& valeur);

// What the answer to a request for a signed file of `taille` bytes from byte `debut` on does
// with the `debut` bytes kept of it: its body follows them (a 206 holding exactly the rest,
// and no more); it is the whole file, which starts again (a 200); or the try is given up.
enum class Suite { ajoute, recommence, abandonne };
Suite suitereprise(const Lecture& lecture, unsigned long long debut, unsigned long long taille);

// What a signed download cut short keeps beside its destination, for the next try or run:
// bound by name to the content it is for by the first 16 hexadecimal digits of its signed
// SHA-256 (the whole is still checked against all of it).
std::string nompartiel(const std::string& destination, const std::string& sha256);
// True for a name (or path) of exactly that form.
bool nompartielde(const std::string& nom);

// Where a redirect may lead: an absolute https address, at most this many times in a row.
constexpr int redirectionsmax = 5;
bool redirectionpermise(const std::string& adresse);

// The backup of a file being replaced: its name up to the last "." of the file name, then
// ".sav"; a name without "." gets ".sav" appended. Only the file name is looked at, so the
// backup always lies beside the file.
std::string nomsauvegarde(const std::string& destination);

// Where a download is received before it replaces the destination: beside it, so that the
// replacement is a rename within one folder.
std::string nomtemporaire(const std::string& destination);

}  // namespace libmaj
