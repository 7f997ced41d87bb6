// The application starts the updater and then closes: the two race, and a file it still holds
// when the install comes would undo the whole release. The install waits for them instead,
// a bounded time, and never closes another program: the user's work comes first.
#include "run.h"

#include "file_holders.h"
#include "names.h"
#include "run_log.h"
#include "run_state.h"
#include "updater_offer.h"
#include "wait.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tidewell {

namespace {

// How often a held file is looked at again: often enough that the install follows the
// application's end at once, seldom enough to cost nothing.
constexpr float intervalle = 0.25f;

std::string nomoupas(const std::string& detenteur)
{
    return detenteur.empty() ? "another program" : detenteur;
}

}  // namespace

void Main::attendfichierslibres(const Manifeste& m, const std::vector<std::size_t>& aremplacer)
{
    tenu_ = {};
    if (attente_ <= 0)
        return;
    const std::string& dossier = libmaj::etat().dossierappli;
    const auto chemin = [&](std::size_t i) { return dossier + "\\" + m.fichiers[i].nom; };
    // What this process holds itself is never waited for: it lets go only when the run ends.
    // That is its own program, and any library of the folder the platform's search had it
    // load.
    const auto premiertenu = [&]() -> std::optional<std::size_t> {
        for (const std::size_t i : aremplacer)
            if (!memefichier(m.fichiers[i].nom, nomprogramme) && !GetModuleHandleA(chemin(i).c_str())
                && libmaj::fichiertenu(chemin(i)))
                return i;
        return std::nullopt;
    };
    auto tenu = premiertenu();
    if (!tenu)
        return;
    const double debut = libmaj::horlogemonotone();
    const auto ecoule = [&] { return std::to_string(static_cast<long long>((libmaj::horlogemonotone() - debut) * 1000)); };
    // The window's language is the application's, as its other lines.
    const std::int16_t langue = nomappli_ == "QUILLON" ? 2 : nomappli_ == "ABACOR" ? 1 : libmaj::etat().langue;
    std::optional<std::size_t> montre;
    std::string detenteur;
    while (tenu) {
        const std::string& nom = m.fichiers[*tenu].nom;
        const bool fin = libmaj::horlogemonotone() - debut >= attente_;
        if (tenu != montre || fin)
            detenteur = libmaj::detenteur(chemin(*tenu));
        if (fin) {
            tenu_ = {nom, detenteur, *tenu + 1};
            consigne(dossier, {"file ", std::to_string(*tenu + 1), " ", nom, ": still held by ", nomoupas(detenteur),
                               " after ", ecoule(), " ms: installing all the same"});
            break;
        }
        if (tenu != montre) {
            // The window names what the user can close; the log says it for each file.
            consigne(dossier, {"file ", std::to_string(*tenu + 1), " ", nom, ": held by ", nomoupas(detenteur), " after ",
                               ecoule(), " ms, waiting at most ", std::to_string(attente_), " s"});
            vue_.libelle(0, texteattente(langue, detenteur));
            montre = tenu;
        }
        libmaj::attente(intervalle);
        // Only the held file is looked at while it is held: each look locks it for a moment.
        if (!libmaj::fichiertenu(chemin(*tenu)))
            tenu = premiertenu();
    }
    if (!tenu)
        consigne(dossier, {"every file to replace free after ", ecoule(), " ms"});
    vue_.libelle(0, textescible(nomappli_).encours);
}

}  // namespace tidewell
