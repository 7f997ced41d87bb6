// The process-wide values that every routine building a text or a local path reads: the
// language code, the line break and the application folder; and how the build connects.
// One object for the process.
#pragma once

#include <cstdint>
#include <string>

namespace libmaj {

struct EtatProcessus {
    std::int16_t langue = 1;        // 1 French, 2 English; 0 counts as French
    std::string sautligne = "\r\n";
    std::string dossierappli;       // normalised: no trailing backslash
    bool proxysysteme = false;      // requests through the user's proxy settings, or direct
};

EtatProcessus& etat();

}  // namespace libmaj
