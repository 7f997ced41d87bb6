// Publishing a release: the server tree of one application, laid out as the updater reads it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tidewell::publication {

struct Release {
    std::filesystem::path dossier;   // the release's files, all at the top of the folder
    std::string version;             // UTF-8, as given by the maker
    std::string sousversion;
    std::string date;
};

struct Resultat {
    std::vector<std::string> erreurs;   // why the release cannot be published; empty when done
    std::vector<std::string> fichiers;  // the listed names, in list order
    long long kilooctets = 0;           // the total size written to Taillefich.ini
};

// Checks the release against what the updater can install whole and, if it can, writes into
// `arbre`: Maj/ with the files, Listfich.ini, Taillefich.ini and Version.ini. Nothing is
// written when the release is refused.
Resultat publie(const Release& release, const std::filesystem::path& arbre);

// Text in code page 1252 from UTF-8; false when a character has no place in that code page.
bool versCP1252(const std::string& utf8, std::string& cp1252);

}  // namespace tidewell::publication
