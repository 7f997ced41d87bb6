// The release signatures a build with keys trusts: its built-in keys, and the check of a
// signature by one of them over a text's exact bytes.
#pragma once

#include "update_keys.h"

#include <string>

namespace tidewell {

// The built-in key of that id; null when the build carries none.
const CleMaj* clemaj(int id);

// True when `rs` (r||s in hexadecimal) signs the exact bytes of `texte` by `cle`.
bool signatureverifiee(const CleMaj& cle, const std::string& texte, const std::string& rs);

}  // namespace tidewell
