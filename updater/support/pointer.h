// The application-wide mouse pointer: the shape every window of the program shows.
#pragma once

namespace libmaj {

enum class Pointeur { defaut = 0, sablier = 11 };

Pointeur pointeursouris();
void pointeursouris(Pointeur forme);

}  // namespace libmaj
