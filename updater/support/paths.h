// Folder paths: the application folder is normalised once so that every local path can be
// built as folder + "\" + file name.
#pragma once

#include <string>

namespace libmaj {

// Normalises the path in place: spaces trimmed, a trailing NUL and then one trailing
// backslash removed, and the first character (the drive letter) upper-cased. A path of one
// character is left exactly as it is.
void formatchemin(std::string& chemin);

}  // namespace libmaj
