#include "run_state.h"

namespace libmaj {

namespace {

// Made before the program's first line runs, as a program's global state is: a first use
// inside a function would need the library's guard, and its threads library with it.
EtatProcessus processus;

}  // namespace

EtatProcessus& etat()
{
    return processus;
}

}  // namespace libmaj
