#include "paths.h"

#include "text.h"

namespace libmaj {

void formatchemin(std::string& chemin)
{
    chemin = sansespaces(chemin);
    if (chemin.empty() || chemin.size() == 1)
        return;
    if (chemin.back() == '\0')
        chemin.pop_back();
    if (!chemin.empty() && chemin.back() == '\\')
        chemin.pop_back();
    if (chemin.size() > 1)
        chemin[0] = majuscules(chemin.substr(0, 1))[0];
}

}  // namespace libmaj
