// The updater's command line: at most one word, "INSTALL", which suppresses the restart.
#pragma once

#include <cstdint>
#include <string>

namespace tidewell {

// Everything after the program's own name in a raw command line, the name being quoted or
// ending at the first space or tab, as the platform splits it.
std::string argumentsdelaligne(const std::string& lignedecommande);

// `relancer` for these arguments: 0 when, trimmed of spaces and upper-cased, they are
// exactly "INSTALL"; 1 otherwise.
std::int16_t relancerpour(const std::string& arguments);

}  // namespace tidewell
