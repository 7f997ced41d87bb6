#include "rollout_rules.h"

namespace tidewell {

std::string ecrittirage(const Tirage& t)
{
    return "Tirage=" + std::to_string(t.nombre) + "\r\nEdition=" + std::to_string(t.edition) + "\r\nSequence="
           + std::to_string(t.sequence) + "\r\n";
}

std::optional<Tirage> lecturetirage(const std::string& texte)
{
    const auto ls = lignes(texte);
    if (!ls || ls->size() != 3 || (*ls)[0].rfind("Tirage=", 0) != 0 || (*ls)[1].rfind("Edition=", 0) != 0
        || (*ls)[2].rfind("Sequence=", 0) != 0)
        return std::nullopt;
    const auto nombre = entierstrict((*ls)[0].substr(7));
    const auto edition = entierstrict((*ls)[1].substr(8));
    const auto sequence = entierstrict((*ls)[2].substr(9));
    if (!nombre || *nombre >= partpleine || !edition || *edition > editionmax || !sequence || *sequence > editionmax)
        return std::nullopt;
    return Tirage{static_cast<std::uint32_t>(*nombre), *edition, *sequence};
}

Jugement jugedeploiement(std::uint64_t edition, const Servi& servi, std::optional<Tirage>& tirage)
{
    Jugement j;
    const Deploiement* d = servi.deploiement ? &*servi.deploiement : nullptr;
    const bool vu = tirage && tirage->edition;
    const auto pasencore = [&](const std::string& raison) {
        j.installe = false;
        j.raison = raison;
        return j;
    };
    if (!servi.present && !servi.absent)
        return pasencore("no share could be read");
    if (!servi.present)
        return vu && tirage->edition >= edition
                   ? pasencore("no share served, where release " + std::to_string(tirage->edition) + " had one")
                   : j;
    if (!d)
        return pasencore("a share not signed for it");
    if (vu && (tirage->edition > edition || (tirage->edition == edition && tirage->sequence > d->sequence)))
        return pasencore("share of sequence " + std::to_string(d->sequence) + ", older than sequence "
                         + std::to_string(tirage->sequence) + " of release " + std::to_string(tirage->edition));
    j.raison = "share " + textepart(d->part) + " %";
    if (!tirage) {
        // A copy that keeps no number would draw again at every run, until it fell within.
        j.installe = d->part == partpleine;
        j.raison += ", and this copy has no number it can keep";
        return j;
    }
    if (!vu || tirage->edition < edition || tirage->sequence < d->sequence) {
        tirage->edition = edition;
        tirage->sequence = d->sequence;
        j.noter = true;
    }
    j.installe = danslapart(tirage->nombre, d->part);
    return j;
}

}  // namespace tidewell
