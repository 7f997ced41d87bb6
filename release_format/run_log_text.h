// The run log a signed run keeps beside the updater for the maker's support: one dated line a
// step, the oldest half let go once the log is full. Its text only; no platform call here.
#pragma once

#include "names.h"

#include <cstddef>
#include <string>

namespace tidewell {

// At most this much of it is kept (nomjournalexecution).
inline constexpr std::size_t taillemaxjournalexecution = 64 * 1024;

// "<UTC time> <text>" and CR LF; a line break inside the text becomes a space, so that one
// step is always one line.
std::string lignejournal(const std::string& horodatage, const std::string& texte);

// The log as it is kept once `ajout` is added: whole while it fits in `taillemax`, otherwise
// its newer half (from the start of a line) and then `ajout`.
std::string journalavec(const std::string& journal, const std::string& ajout, std::size_t taillemax);

// What a refusal or failure code means, in English, for whoever reads the log.
std::string sensducode(const std::string& code);

}  // namespace tidewell
