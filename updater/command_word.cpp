#include "command_word.h"

#include "text.h"

namespace tidewell {

std::string argumentsdelaligne(const std::string& ligne)
{
    std::size_t i = 0;
    if (!ligne.empty() && ligne[0] == '"') {
        const auto fin = ligne.find('"', 1);
        i = fin == std::string::npos ? ligne.size() : fin + 1;
    } else {
        while (i < ligne.size() && ligne[i] != ' ' && ligne[i] != '\t')
            ++i;
    }
    while (i < ligne.size() && (ligne[i] == ' ' || ligne[i] == '\t'))
        ++i;
    return ligne.substr(i);
}

std::int16_t relancerpour(const std::string& arguments)
{
    return libmaj::majuscules(libmaj::sansespaces(arguments)) == "INSTALL" ? 0 : 1;
}

}  // namespace tidewell
