// Every conversion of a real number to an integer, in the updater as in the maker's tool,
// rounds to the nearest integer with halves going to the even neighbour (2.5 gives 2, 3.5
// gives 4), whatever the floating-point environment's current rounding mode.
#pragma once

#include <cstdint>

namespace libmaj {

double arrondi(double valeur);

// The rounded value as a 32-bit integer, saturated at the type's limits.
std::int32_t arrondi32(double valeur);

}  // namespace libmaj
