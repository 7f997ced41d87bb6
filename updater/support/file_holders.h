// Which files another program still holds, and which program: a file in use cannot be
// replaced, and the user who sees a wait deserves to know what it waits for.
#pragma once

#include <string>

namespace libmaj {

// True when another process has the file open or loaded in a way that makes replacing it fail
// now: open at all for its data or its deletion, or mapped as a running program or library,
// which may be renamed but neither written nor deleted. A file that is missing, read-only or
// closed to this user is not held: whatever stops its replace, no wait ends it.
bool fichiertenu(const std::string& chemin);

// The program file name ("Abacor.exe") of a process, other than this one, that holds the
// file, as the platform's Restart Manager tells it; empty where the platform has none, says
// nothing or names only this process.
std::string detenteur(const std::string& chemin);

}  // namespace libmaj
