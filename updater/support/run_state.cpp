#include "run_state.h"

namespace libmaj {

EtatProcessus& etat()
{
    static EtatProcessus e;
    return e;
}

}  // namespace libmaj
