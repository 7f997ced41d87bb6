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
    std::optional<unsigned long long> longueurannoncee;   // Content-Length, when sent
    bool echeclecture = false;               // a read failed before the end of the body
    bool tropgrand = false;                  // stopped at taillemaxpage
};

// The status of an opened page: missing for an error status, a body that did not arrive
// whole or is too large, or a missing-page marker; fetched otherwise.
std::int16_t statutpage(const Lecture& lecture, const std::string& texte);

// True when a download's body is whole: a success status, no failed read, and as many bytes
// as announced when a length was announced.
bool corpscomplet(const Lecture& lecture, unsigned long long recus);

// The backup of a file being replaced: its name up to the last "." of the file name, then
// ".sav"; a name without "." gets ".sav" appended. Only the file name is looked at, so the
// backup always lies beside the file.
std::string nomsauvegarde(const std::string& destination);

// Where a download is received before it replaces the destination: beside it, so that the
// replacement is a rename within one folder.
std::string nomtemporaire(const std::string& destination);

}  // namespace libmaj
