// The updater's file operations on the local disk. Paths are code page 1252 strings; the
// routines that trim a path trim the caller's variable. The show-messages flag 1 shows the
// catalogue's messages; any other value keeps the routines silent.
#pragma once

#include <cstdint>
#include <string>

namespace libmaj {

// 1 when a file exists at the path (wildcards match), 0 otherwise; folders never count. A
// file found loses its read-only and hidden marks.
std::int16_t testfichier(std::string& chemin, std::int16_t messages);

// Copies source over destination, by the platform's copy and, failing that, by reading and
// writing the file; 1 when copied. The source loses all its marks on the way.
std::int16_t copiefichier(std::string& source, std::string& destination, std::int16_t testsource,
                          std::int16_t messages);

// Deletes the file and waits, at most 2 seconds, until it is really gone. A file that cannot
// be deleted stays, silently.
void supprimefichier(std::string& chemin);

// The file's length in bytes; 0 for an empty path or a file that cannot be measured.
double taillefichier(const std::string& chemin);

// Writes the text as the whole content of the file, creating or replacing it; 1 when written.
std::int16_t ecritfichiertexte(const std::string& chemin, const std::string& texte);

// Reads the whole file; 1 when read, 0 (and an empty text) otherwise, as for a file longer
// than `maximum` bytes, which is not read beyond that.
std::int16_t litfichiertexte(const std::string& chemin, std::string& texte, std::size_t maximum = ~std::size_t{0});

// Attributes found → attributes set, by the updater's rule: read-only and hidden are
// cleared, archive alone is kept, and any other combination is left as it is.
unsigned long attributsnormalises(unsigned long attributs);

// What a signed install leaves of a file's attributes before replacing it: everything but
// read-only, hidden and system, whatever else is set (compressed, not indexed, pinned...).
unsigned long attributsremplacables(unsigned long attributs);

}  // namespace libmaj
