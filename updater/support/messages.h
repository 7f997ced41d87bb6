// Showing the catalogue's messages, and the error report.
#pragma once

#include "messages_text.h"

#include <string>

namespace libmaj {

// Shows the message (resetting the mouse pointer first where the catalogue says so) and
// returns the button pressed: 1 for OK, 2 for Cancel.
int montre(const Message& message);

// Shows the current error's number and description under the module text, with the stop
// icon; the current error is left as it is.
void afficheerreur(const std::string& module);

}  // namespace libmaj
