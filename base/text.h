// Text helpers that every unit uses. Strings hold code page 1252 bytes, as the ANSI
// functions of the platform take and give them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace libmaj {

// Removes spaces (and only spaces) from both ends, as the settings and paths are trimmed.
std::string sansespaces(const std::string& texte);

// Upper-cases in code page 1252, as the platform's CharUpperA does for that code page:
// letters with accents too, so that names compare as the platform would compare them.
std::string majuscules(const std::string& texte);

// Bytes from lower-case hexadecimal digits, and back; nothing for anything else.
std::optional<std::vector<unsigned char>> octetsdepuishexa(const std::string& hexa);
std::string hexadepuisoctets(const unsigned char* octets, std::size_t taille);

}  // namespace libmaj
