// The update's files as the updater reads them: the settings, version, list and size files,
// and the names that the list may hold. No platform call here.
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

// The language code from the settings' "Langue": rounded, halves to even, then held to 1..2.
std::int16_t languedepuis(const std::string& valeur);

// How long, in seconds, a signed run waits for the files it replaces to be let go, from the
// settings' "Attente": rounded, held to 0..600; 60 where it is missing or is no number of
// seconds (it must start with a digit).
constexpr int attentedefaut = 60, attentemax = 600;
int attentedepuis(const std::string& valeur);

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

// The base address of an application on the update server; empty for an unknown key.
std::string adressebase(const std::string& serveur, const std::string& nomappli);
// The same for each address of a comma-separated list of servers (mirrors of one another), in
// their order.
std::vector<std::string> adressesbase(const std::string& serveurs, const std::string& nomappli);

// The version and date labels; empty when there is nothing to show.
std::string libelleversion(const std::string& version, const std::string& sousversion);
std::string libelledate(const std::string& date);

}  // namespace tidewell
