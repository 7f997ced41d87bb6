#include "errors.h"

#include <windows.h>

#include <cstring>

namespace libmaj {

namespace {
Erreur courante_;
}

const Erreur& erreurcourante()
{
    return courante_;
}

void erreurcourante(Erreur erreur)
{
    courante_ = std::move(erreur);
}

Erreur erreurplateforme(unsigned long code)
{
    char* texte = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPSTR>(&texte), 0, nullptr);
    Erreur e{static_cast<long>(code), n && texte ? std::string(texte, n) : std::string()};
    if (texte)
        LocalFree(texte);
    while (!e.description.empty() && (e.description.back() == '\n' || e.description.back() == '\r'))
        e.description.pop_back();
    if (e.description.empty())
        e.description = "Error " + std::to_string(code);
    return e;
}

Erreur erreurexecution(int numero)
{
    return {numero, std::strerror(numero)};
}

}  // namespace libmaj
