#include "self_update_rules.h"

#include "manifest.h"
#include "text.h"

namespace tidewell {

Appel appeldepuis(const std::string& arguments)
{
    const std::string mots = libmaj::sansespaces(arguments);
    const auto blanc = mots.find(' ');
    const auto fin = blanc == std::string::npos ? blanc : mots.find(' ', blanc + 1);
    const std::string mot = mots.substr(0, blanc);
    const std::uint64_t nombre =
        blanc == std::string::npos ? 0 : entierstrict(mots.substr(blanc + 1, fin - blanc - 1)).value_or(0);
    Appel a;
    const bool qualification = mot == motqualification;
    if (nombre == 0 || nombre > UINTPTR_MAX || (fin != std::string::npos && !qualification))
        return a;
    a.nombre = nombre;
    a.cles = fin == std::string::npos ? std::string() : mots.substr(fin + 1);
    a.role = qualification ? Appel::Role::qualification
             : mot == motrelais ? Appel::Role::relais
                                : Appel::Role::execution;
    return a;
}

std::string ecritqualification(const Qualification& q)
{
    return q.signature + q.manifeste;
}

std::optional<Qualification> lecturequalification(const std::string& texte)
{
    // The signature file is two lines, "Cle=" and "Signature=".
    const auto fin = texte.find("\r\n", texte.find("\r\n") + 2);
    if (fin == std::string::npos || fin + 2 > taillemaxsignature || texte.size() - fin - 2 > taillemaxmanifeste)
        return std::nullopt;
    return Qualification{texte.substr(fin + 2), texte.substr(0, fin + 2)};
}

}  // namespace tidewell
