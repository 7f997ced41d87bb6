#include "files.h"

namespace libmaj {

unsigned long attributsnormalises(unsigned long attributs)
{
    switch (attributs) {
    case 1:
    case 2:
    case 3: return 0;
    case 33:
    case 34:
    case 35: return 32;
    default: return attributs;
    }
}

unsigned long attributsremplacables(unsigned long attributs)
{
    return attributs & ~0x7ul;
}

}  // namespace libmaj
