// The two roles a newer updater is started in by the one it is to replace (see
// self_update_rules.h); neither shows a window. Each returns the process's exit code.
#pragma once

#include <cstdint>
#include <string>

namespace tidewell {

// Judges, with this program's built-in keys, that it can serve the folder it lies in: the
// release on its standard input is signed by one of them, is the folder's application's, and
// is the one the folder's record holds. codequalifie when it can.
unsigned long qualifie(std::uint64_t revision, const std::string& cles);

// Waits for the updater of the handle `ancien` to end, takes the folder's lock and renames
// this program over Tidewell.exe; logs what it did.
unsigned long relaie(std::uintptr_t ancien);

}  // namespace tidewell
