// What a response's headers say: its status and announced length.
#pragma once

#include "web_rules.h"

#include <windows.h>
#include <wininet.h>

namespace libmaj {

Lecture entetes(HINTERNET requete);

}  // namespace libmaj
