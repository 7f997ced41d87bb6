#include "rollout.h"

namespace tidewell {

std::optional<std::uint32_t> lecturepart(const std::string& texte)
{
    const auto point = texte.find('.');
    const std::string entiers = texte.substr(0, point);
    const std::string decimales = point == std::string::npos ? std::string() : texte.substr(point + 1);
    if (entiers.empty() || entiers.size() > 3 || (point != std::string::npos && (decimales.empty() || decimales.size() > 2))
        || (entiers + decimales).find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    std::uint32_t part = 0;
    for (char c : entiers + (decimales + "00").substr(0, 2))
        part = part * 10 + static_cast<std::uint32_t>(c - '0');
    return part <= partpleine ? std::optional<std::uint32_t>(part) : std::nullopt;
}

std::string textepart(std::uint32_t part)
{
    std::string t = std::to_string(part / 100);
    if (part % 100) {
        t += "." + std::to_string(part % 100 + 100).substr(1);
        if (t.back() == '0')
            t.pop_back();
    }
    return t;
}

std::optional<Deploiement> lecturedeploiement(const std::string& texte, const Manifeste& m,
                                              const std::string& sha256manifeste)
{
    const auto ls = lignes(texte);
    if (!ls || ls->size() != 5 || (*ls)[0] != "Deploiement=1" || (*ls)[1] != "Manifeste=" + sha256manifeste
        || (*ls)[2] != "Cle=" + std::to_string(m.cle) || (*ls)[3].rfind("Sequence=", 0) != 0
        || (*ls)[4].rfind("Part=", 0) != 0)
        return std::nullopt;
    const auto sequence = entierstrict((*ls)[3].substr(9));
    const auto part = lecturepart((*ls)[4].substr(5));
    // One way only of writing a share, so that a signed file says it once.
    if (!sequence || *sequence < 1 || *sequence > editionmax || !part || textepart(*part) != (*ls)[4].substr(5))
        return std::nullopt;
    return Deploiement{sha256manifeste, m.cle, *sequence, *part};
}

}  // namespace tidewell
