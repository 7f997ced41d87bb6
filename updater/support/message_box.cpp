#include "message_box.h"

#include <windows.h>

namespace libmaj {

int afficheboite(const std::string& texte, const std::string& titre, int style)
{
    return MessageBoxA(nullptr, texte.c_str(), titre.c_str(), static_cast<UINT>(style));
}

}  // namespace libmaj
