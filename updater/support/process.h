// Starting another program.
#pragma once

#include <string>

namespace libmaj {

// Starts the command line as a new process whose main window is shown with `affichage`
// (1 = normal, with the focus). The new process inherits this one's working folder and
// environment and is not waited for. True when it started.
bool lanceprogramme(const std::string& lignedecommande, int affichage);

}  // namespace libmaj
