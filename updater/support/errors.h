// The current error: the number and description of the last failure that a routine's
// failure path met, as the error report shows them.
#pragma once

#include <string>

namespace libmaj {

struct Erreur {
    long numero = 0;
    std::string description;
};

const Erreur& erreurcourante();
void erreurcourante(Erreur erreur);

// The current error from a platform error code (GetLastError) or a C run-time errno value,
// with the platform's or the run-time's own text for it.
Erreur erreurplateforme(unsigned long code);
Erreur erreurexecution(int numero);

}  // namespace libmaj
