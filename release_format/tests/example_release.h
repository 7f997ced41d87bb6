// A release's manifest as the tests of its format and of the updater's checks take it.
#pragma once

#include "manifest.h"

#include <string>

namespace tidewell::exemples {

inline const std::string H(64, 'a');

// Release 12 of Abacor by key 1, valid through 2027-12-07, of two files.
inline Manifeste manifeste()
{
    Manifeste m;
    m.cible = "ABACOR";
    m.edition = 12;
    m.expire = "2027-12-07";
    m.cle = 1;
    m.pages = {{"Version.ini", 54, H}, {"Listfich.ini", 20, H}, {"Taillefich.ini", 5, H}};
    m.fichiers = {{"Prog.exe", 150000, H}, {"Aide-Index.htm", 0, H}};
    return m;
}

}  // namespace tidewell::exemples
