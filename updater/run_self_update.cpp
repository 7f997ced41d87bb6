// The step after a signed release is installed: the newer updater the release offers is
// brought, qualified against this folder, and handed the updater's place (see
// self_update_rules.h). Whatever happens here, the release stays installed and the run's code
// is the same; only the run log tells.
#include "run.h"

#include "bring.h"
#include "file_handles.h"
#include "internet.h"
#include "child_process.h"
#include "release_signature.h"
#include "run_log.h"
#include "run_state.h"
#include "self_update_rules.h"
#include "signature_check.h"
#include "text.h"
#include "updater_offer.h"
#include "wait.h"
#include "web_rules.h"

#include <windows.h>

namespace tidewell {

namespace {

constexpr const char* site = "Corvane";

// The program's own path, whole; empty when it cannot be had.
std::string cheminduprogramme()
{
    char chemin[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, chemin, sizeof chemin);
    return n == 0 || n >= sizeof chemin ? std::string() : std::string(chemin, n);
}

// The keys this updater would still accept once a release of key `depuis` is installed, as
// the new one is told them: " id:key" each.
std::string cles(int depuis)
{
    std::string t;
    for (std::size_t i = 0; i < nombreclesmaj; ++i)
        if (tableclesmaj[i].id >= depuis)
            t += " " + std::to_string(tableclesmaj[i].id) + ":" + tableclesmaj[i].publique;
    return t;
}

// Starts the new program with `mot`, `entree` as its standard input (or none): null when it
// did not start, or when its file, which can no longer change once it runs, is not the one
// verified. A program that crashes ends without the platform's dialog (the mode is inherited).
libmaj::Poignee lance(const std::string& programme, const std::string& mot, HANDLE entree, const libmaj::Attendu& attendu)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    libmaj::Poignee p = libmaj::lancesilencieux("\"" + programme + "\" " + mot, entree);
    if (p && !(libmaj::mesure(programme) == attendu)) {
        TerminateProcess(p.get(), 1);
        WaitForSingleObject(p.get(), 5000);
        p.reset();
    }
    return p;
}

// Has the new program qualify itself as of `revision`, `texte` on its standard input (a temporary file that
// goes once both let go of it); why it did not, or nothing.
const char* qualifie(const std::string& programme, const std::string& revision, const std::string& texte,
                     const libmaj::Attendu& attendu, unsigned long& code)
{
    char dossier[MAX_PATH + 1] = {}, fichier[MAX_PATH + 1] = {};
    SECURITY_ATTRIBUTES heritable{sizeof heritable, nullptr, TRUE};
    DWORD ecrits = 0;
    libmaj::PoigneeFichier entree(GetTempPathA(sizeof dossier, dossier) && GetTempFileNameA(dossier, "tdq", 0, fichier)
                                      ? CreateFileA(fichier, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                    &heritable, CREATE_ALWAYS,
                                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr)
                                      : INVALID_HANDLE_VALUE);
    if (entree.get() == INVALID_HANDLE_VALUE
        || !WriteFile(entree.get(), texte.data(), static_cast<DWORD>(texte.size()), &ecrits, nullptr)
        || ecrits != texte.size() || SetFilePointer(entree.get(), 0, nullptr, FILE_BEGIN) != 0)
        return "its input could not be written";
    const libmaj::Poignee processus = lance(programme, motqualification + (" " + revision), entree.get(), attendu);
    entree.reset();
    if (!processus)
        return "it could not be started as it was verified";
    if (!libmaj::attendsurmessages(processus.get(), delaiqualification)) {
        TerminateProcess(processus.get(), 1);
        WaitForSingleObject(processus.get(), 5000);
        return "it did not end within 20 s and was stopped";
    }
    DWORD fin = 0;
    GetExitCodeProcess(processus.get(), &fin);
    code = fin;
    return fin == codequalifie ? nullptr : "it did not qualify";
}

}  // namespace

bool liberenomrelais(const std::string& dossier)
{
    // Under its name only a program of this updater's runs: one that an earlier run started and
    // that never ended (its run killed as the platform started it), or lost the folder to
    // another run.
    // What a program that was brought by a delta or a compressed form waited under, left by a
    // power cut: the names are this updater's own, never a release's.
    const std::string programme = dossier + "\\" + nomprogramme;
    libmaj::liberenom(libmaj::nomtemporaire(programme));
    libmaj::liberenom(libmaj::nomtemporaire(nomforme(programme)));
    const std::string relais = dossier + "\\" + nomrelais;
    if (libmaj::effacepropre(relais))
        return true;
    libmaj::arreteprogrammesde(relais);
    for (int essai = 0; essai < 20; ++essai) {
        if (libmaj::effacepropre(relais))
            return true;
        libmaj::attente(0.2f);
    }
    return false;
}

void Main::relaisoutil()
try {
    const std::string& dossier = libmaj::etat().dossierappli;
    const Manifeste& m = *manifeste_;
    const std::string adresse = sources_.adresses[sources_.premiere] + "/";
    std::string texte, signature;
    if (libmaj::lecturepage(titre_, 0, adresse + nomoffre, site, texte, taillemaxoffre, true) != libmaj::pagelue) {
        consigne(dossier, {"no updater offered"});
        return;
    }
    const bool signee = libmaj::lecturepage(titre_, 0, adresse + nomsignatureoffre, site, signature, taillemaxsignature,
                                            true) == libmaj::pagelue;
    const auto s = signee ? lecturesignature(signature) : std::nullopt;
    const CleMaj* cle = s && s->cle == m.cle ? clemaj(s->cle) : nullptr;
    const auto offre = cle && signatureverifiee(*cle, texte, s->rs) ? lectureoffre(texte, m, libmaj::sha256(textemanifeste_))
                                                                    : std::nullopt;
    if (!offre) {
        consigne(dossier, {"updater offer ignored: not signed with the release's key, or not this release's"});
        return;
    }
    const std::string revision = "updater revision " + std::to_string(offre->revision), ici = std::to_string(revisionmaj);
    const std::string cible = dossier + "\\" + nomprogramme, relais = dossier + "\\" + nomrelais;
    const Empreinte programme{nomprogramme, offre->programme.taille, offre->programme.sha256};
    // Brought as any listed file is, by the cheapest way, a delta from this very program first.
    const auto plan = voies(programme, &offre->formes, contenulocal(dossier, programme, &offre->formes),
                            std::string(dossieroutil) + "/");
    const char* pris = offre->revision <= revisionmaj ? ", not above this one's: nothing taken"
                       : !memefichier(cheminduprogramme(), cible) ? ", not taken: this updater does not run as Tidewell.exe"
                       : plan.front().sorte == Voie::Sorte::enplace ? ": its program is this one's already"
                                                                    : nullptr;
    if (pris) {
        consigne(dossier, {revision, " offered (this one is ", ici, ")", pris});
        return;
    }
    Apport apport;
    const double debut = libmaj::horlogemonotone();
    libmaj::Arrivee arrivee = apportefichier(plan, sources_, dossier, programme, apport);
    const char* const sortes[] = {"in place", "delta", "compressed", "plain"};
    consigne(dossier, {revision, " offered: ", !arrivee || !apport.voie ? "failed" : sortes[static_cast<int>(apport.voie->sorte)],
                       ", ", std::to_string(apport.recus), " received, ",
                       std::to_string(static_cast<long long>((libmaj::horlogemonotone() - debut) * 1000)), " ms"});
    if (!arrivee)
        return;
    const libmaj::Attendu attendu{offre->programme.taille, offre->programme.sha256};
    unsigned long code = 0;
    const char* pourquoi = !liberenomrelais(dossier) || !arrivee.placesous(relais)
                               ? "it could not be put beside this one"
                               : qualifie(relais, std::to_string(offre->revision) + cles(m.cle),
                                          ecritqualification({textemanifeste_, textesignature_}), attendu, code);
    // Qualified, it is started again to take this one's place once this process has ended.
    HANDLE moi = nullptr;
    if (!pourquoi) {
        libmaj::Poignee relaye;
        if (DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &moi, SYNCHRONIZE, TRUE, 0))
            relaye = lance(relais, std::string(motrelais) + " " + std::to_string(reinterpret_cast<std::uintptr_t>(moi)),
                           nullptr, attendu);
        if (moi)
            CloseHandle(moi);
        if (!relaye)
            pourquoi = "it could not be started to take this one's place as it was verified";
    }
    if (pourquoi) {
        liberenomrelais(dossier);
        consigne(dossier, {revision, " refused: ", pourquoi, code ? " (exit code " + std::to_string(code) + ")" : "",
                           "; revision ", ici, " stays"});
        return;
    }
    consigne(dossier, {revision, " qualified: it takes the place of revision ", ici, " as this run ends"});
} catch (...) {
    // Never a reason for the run to end otherwise than it would have.
}

}  // namespace tidewell
