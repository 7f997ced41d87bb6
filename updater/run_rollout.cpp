// Whether a release the maker stages to a share of the copies is for this one yet.
#include "run.h"

#include "file_handles.h"
#include "files.h"
#include "install.h"
#include "rollout_rules.h"
#include "run_log.h"
#include "run_state.h"

#include <windows.h>
#include <ntsecapi.h>

namespace tidewell {

namespace {

// A number below partpleine from the platform's random source, each as likely as the next;
// false when the source gives none.
bool tirealeatoire(std::uint32_t& nombre)
{
    // Above the last whole multiple of partpleine, a remainder would favour the low numbers.
    constexpr std::uint32_t borne = 0xFFFFFFFFu / partpleine * partpleine;
    for (int essai = 0; essai < 16; ++essai) {
        ULONG n = 0;
        if (!RtlGenRandom(&n, sizeof n))
            return false;
        if (n < borne) {
            nombre = n % partpleine;
            return true;
        }
    }
    return false;
}

}  // namespace

bool Main::pourcettecopie(std::uint64_t edition, const Servi& servi)
{
    const std::string& dossier = libmaj::etat().dossierappli;
    const std::string chemin = dossier + "\\" + nomtirage;
    std::string texte;
    libmaj::litfichiertexte(chemin, texte, taillemaxtirage);
    std::optional<Tirage> tirage = lecturetirage(texte);
    Tirage neuf;
    // A copy draws its number the first time a share is served to it. A record it cannot read
    // is never drawn over: that would be a new chance to fall within the share, and would
    // forget the newest word of the maker it holds.
    if (!tirage && servi.deploiement && GetFileAttributesA(chemin.c_str()) == INVALID_FILE_ATTRIBUTES
        && GetLastError() == ERROR_FILE_NOT_FOUND && tirealeatoire(neuf.nombre))
        tirage = neuf;
    Jugement j = jugedeploiement(edition, servi, tirage);
    // A number that cannot be kept would be drawn again at the next run, until it fell within.
    if (j.noter)
        normalise(chemin);
    if (j.noter && !libmaj::ecritdurable(chemin, ecrittirage(*tirage)) && servi.deploiement->part < partpleine) {
        j.installe = false;
        j.raison += ", and this copy's number could not be kept";
    }
    if (!j.raison.empty())
        consigne(dossier, {"release ", std::to_string(edition), j.installe ? " for this copy (" : " not yet for this copy (",
                           j.raison, ")"});
    return j.installe;
}

}  // namespace tidewell
