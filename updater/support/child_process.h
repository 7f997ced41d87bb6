// Starting a program this one then waits for (apart from process.h, whose name the C runtime's
// own headers include).
#pragma once

#include "file_handles.h"

#include <windows.h>

#include <string>

namespace libmaj {

// Starts the command line without showing a window, with `entree` (an inheritable handle, or
// null) as its standard input; the new process inherits this one's inheritable handles, and
// none is made so here but `entree`. Its process handle, to wait for it; null when it did not
// start.
Poignee lancesilencieux(const std::string& lignedecommande, HANDLE entree);

// Stops every process running from the program `chemin` and waits a moment for each to end;
// true when none is left.
bool arreteprogrammesde(const std::string& chemin);

}  // namespace libmaj
