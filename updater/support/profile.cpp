#include "profile.h"

#include <windows.h>

namespace libmaj {

std::int16_t lectureini(const std::string& fichier, const std::string& section,
                        const std::string& cle, std::int16_t taille, std::string& valeur)
{
    return lectureini(fichier, section, cle, taille, valeur,
                      [](const char* s, const char* c, char* tampon, unsigned long n,
                         const char* f) -> unsigned long {
                          return GetPrivateProfileStringA(s, c, "", tampon, n, f);
                      });
}

}  // namespace libmaj
