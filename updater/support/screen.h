// The primary screen as the window geometry needs it.
#pragma once

#include "placement.h"

namespace libmaj {

struct Resolution {
    int x = 96;   // logical dots per inch, across
    int y = 96;   // and down
};

// The screen's logical resolution; 96 dots per inch when it cannot be read.
Resolution resolutionecran();

// The primary screen's size in twips.
Ecran ecranentwips();

}  // namespace libmaj
