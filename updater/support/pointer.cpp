#include "pointer.h"

#include <windows.h>

namespace libmaj {

namespace {
Pointeur forme_ = Pointeur::defaut;
}

Pointeur pointeursouris()
{
    return forme_;
}

void pointeursouris(Pointeur forme)
{
    forme_ = forme;
    SetCursor(LoadCursor(nullptr, forme == Pointeur::sablier ? IDC_WAIT : IDC_ARROW));
}

}  // namespace libmaj
