#include "self_update_roles.h"

#include "files.h"
#include "install.h"
#include "paths.h"
#include "release_check.h"
#include "release_signature.h"
#include "run.h"
#include "run_log.h"
#include "self_update_rules.h"
#include "text.h"
#include "updater_offer.h"
#include "wait.h"

#include <windows.h>

#include <algorithm>

namespace tidewell {

namespace {

std::string dossier()
{
    std::string d = dossierduprogramme();
    libmaj::formatchemin(d);
    return d;
}

// The standard input whole, up to one byte past `maximum`.
std::string entree(std::size_t maximum)
{
    std::string texte;
    const HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
    char morceau[4096];
    DWORD lus = 0;
    while (h && h != INVALID_HANDLE_VALUE && texte.size() <= maximum && ReadFile(h, morceau, sizeof morceau, &lus, nullptr)
           && lus > 0)
        texte.append(morceau, lus);
    return texte;
}

}  // namespace

unsigned long qualifie(std::uint64_t revision, const std::string& cles)
{
    const std::string d = dossier();
    const auto q = lecturequalification(entree(taillemaxmanifeste + taillemaxsignature));
    const auto s = q ? lecturesignature(q->signature) : std::nullopt;
    const CleMaj* cle = s ? clemaj(s->cle) : nullptr;
    if (d.empty() || !cle || !signatureverifiee(*cle, q->manifeste, s->rs))
        return 2;   // no release it can verify
    std::string raison, etat;
    const auto m = lecturemanifeste(q->manifeste, raison);
    libmaj::litfichiertexte(d + "\\" + nometat, etat, taillemaxetat);
    const auto installe = lectureetat(etat);
    // Judged as its own runs would judge it: its floor, the keys it retires, the application.
    if (!m || !installe || installe->edition != m->edition
        || !refusmanifeste(*m, s->cle, applidudossier(d).nom, minimumrequis(installe, editionplancher),
                           maintenantutc().substr(0, 10))
                .empty())
        return 3;   // not the release this folder holds, or one it would refuse
    if (revision != revisionmaj)
        return 4;   // not the revision offered
    for (std::size_t debut = 0; debut < cles.size();) {
        const auto fin = std::min(cles.find(' ', debut), cles.size());
        const std::string cle = cles.substr(debut, fin - debut);
        const auto deux = cle.find(':');
        const std::uint64_t id = deux == std::string::npos ? 0 : entierstrict(cle.substr(0, deux)).value_or(0);
        const CleMaj* porte = id <= 9999 ? clemaj(static_cast<int>(id)) : nullptr;
        if (!porte || cle.compare(deux + 1, std::string::npos, porte->publique) != 0)
            return 5;   // a key the running updater would still accept, which this one lacks
        debut = fin + 1;
    }
    return codequalifie;
}

unsigned long relaie(std::uintptr_t valeur)
{
    const HANDLE ancien = reinterpret_cast<HANDLE>(valeur);
    const bool fini = libmaj::attendsurmessages(ancien, delairelais);
    CloseHandle(ancien);
    const std::string d = dossier();
    bool bloque = false;
    const auto verrou = fini && !d.empty() ? verrouilledossier(d, bloque) : std::nullopt;
    // Another run holds the folder: it removes this file once this process has ended.
    if (!verrou || !*verrou)
        return 1;
    char chemin[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, chemin, sizeof chemin);
    const std::string cible = d + "\\" + nomprogramme;
    if (n == 0 || n >= sizeof chemin || !memefichier(chemin, d + "\\" + nomrelais))
        return 1;
    // The name is free once the process that ran from it has gone; a read-only copy is still
    // the updater's to replace.
    libmaj::otelectureseule(cible);
    const double limite = libmaj::horlogemonotone() + delairelais;
    bool fait = false;
    while (!(fait = MoveFileExA(chemin, cible.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
           && libmaj::horlogemonotone() < limite)
        libmaj::attente(0.25f);
    consigne(d, {"updater revision ", std::to_string(revisionmaj),
                 fait ? " in place" : " could not take the updater's name; the one that ran stays"});
    return fait ? 0 : 1;
}

}  // namespace tidewell
