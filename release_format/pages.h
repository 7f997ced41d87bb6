// The three pages the update server serves beside the files, as both the updater and the
// maker's tool read them: the version's numbers, the size file and the file list. No platform
// call here.
#pragma once

#include "names.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tidewell {

// Reads the number at the start of a text: leading spaces, tabs and line feeds skipped; an
// optional sign, digits, a "." and fraction digits, an optional exponent; spaces, tabs and
// line feeds between them ignored; reading stops at the first other character. "." is the
// decimal point whatever the locale. 0 when no digit was read.
double lecturenombre(const std::string& texte);

// The total size in kilobytes from the fetched size file: every CR LF pair removed, read as a
// number, rounded into 32 bits.
std::int32_t tailledepuis(const std::string& texte);

// The file list: a carriage return ends a line and a line feed right after it is skipped (a
// line feed alone does not end a line); spaces around a line are removed, tabs kept; empty
// lines are skipped. Every other line counts, but only the first 50 names are kept.
struct ListeFichiers {
    std::int16_t nombre = 0;
    std::vector<std::string> noms;   // at most 50
};
ListeFichiers lectureliste(const std::string& contenu);

}  // namespace tidewell
