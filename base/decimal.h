// Decimal to binary, correctly rounded, with no library reader: the C runtime's own costs the
// updater some 17 KB, and one that a locale or an old system library rounds otherwise would
// read the same page differently on two machines.
#pragma once

#include <string>

namespace tidewell {

// The double nearest to chiffres × 10^exposant (ties to even), where `chiffres` holds decimal
// digits only, the first of them not 0; +infinity past the largest double, 0 below half the
// smallest. Exact for any number of digits and any exponent, in time that grows with them:
// callers hold both small (a thousand digits, an exponent of a few hundred).
double decimalexacte(const std::string& chiffres, long long exposant);

}  // namespace tidewell
