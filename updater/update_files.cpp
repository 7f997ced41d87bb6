#include "update_files.h"

#include "rounding.h"

#include <algorithm>

namespace tidewell {

std::int16_t languedepuis(const std::string& valeur)
{
    const double code = libmaj::arrondi(lecturenombre(valeur));
    if (code < 1)
        return 1;
    if (code > 2)
        return 2;
    return static_cast<std::int16_t>(code);
}

int attentedepuis(const std::string& valeur)
{
    const std::size_t debut = valeur.find_first_not_of(" \t");
    if (debut == std::string::npos || valeur[debut] < '0' || valeur[debut] > '9')
        return attentedefaut;
    const double secondes = libmaj::arrondi(lecturenombre(valeur));
    return secondes > attentemax ? attentemax : static_cast<int>(secondes);
}

std::string adressebase(const std::string& serveur, const std::string& nomappli)
{
    if (nomappli == "ABACOR")
        return serveur + "/Abacor";
    if (nomappli == "QUILLON")
        return serveur + "/Quillon";
    return {};
}

std::vector<std::string> adressesbase(const std::string& serveurs, const std::string& nomappli)
{
    std::vector<std::string> adresses;
    for (std::size_t debut = 0; debut <= serveurs.size();) {
        const std::size_t virgule = std::min(serveurs.find(',', debut), serveurs.size());
        adresses.push_back(adressebase(serveurs.substr(debut, virgule - debut), nomappli));
        debut = virgule + 1;
    }
    return adresses;
}

std::string libelleversion(const std::string& version, const std::string& sousversion)
{
    if (version.empty())
        return {};
    std::string libelle = "Version : " + version;
    if (!sousversion.empty())
        libelle += "SV " + sousversion;
    return libelle;
}

std::string libelledate(const std::string& date)
{
    return date.empty() ? std::string() : "Date : " + date;
}

}  // namespace tidewell
