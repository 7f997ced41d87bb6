// Modal message boxes, the only dialogs the updater shows.
#pragma once

#include <string>

namespace libmaj {

// Shows `texte` under `titre` with the platform's style value (64 information and OK, 65
// information with OK and Cancel, 16 stop and OK) and returns the button pressed.
int afficheboite(const std::string& texte, const std::string& titre, int style);

}  // namespace libmaj
