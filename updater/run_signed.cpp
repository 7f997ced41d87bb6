// The stages of a run in a build with release keys: nothing is installed that the maker did
// not sign, and a refused release changes no file.
#include "run.h"

#include "bring.h"
#include "files.h"
#include "install.h"
#include "internet.h"
#include "message_box.h"
#include "release_check.h"
#include "release_signature.h"
#include "run_log.h"
#include "run_log_text.h"
#include "run_state.h"
#include "run_texts.h"
#include "rollout_rules.h"
#include "signature_check.h"
#include "text.h"
#include "update_keys.h"
#include "wait.h"
#include "web_rules.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tidewell {

namespace {

constexpr const char* site = "Corvane";

// Fetches the release's manifest, its signature and the three update files, and checks them
// all; the reason code when the release is refused, empty when `manifeste` and `pages`
// (version, list, size) hold what the maker signed.
std::string releaseverifiee(const std::string& titre, const std::string& adresse, const std::string& cible,
                            const EtatSigne& minimum, Manifeste& manifeste, std::string (&pages)[3],
                            std::optional<Formes>& formes, Servi& servi, std::string& textemanifeste,
                            std::string& textesignature)
{
    // Nothing is read beyond what it can be: a server cannot make the run read a megabyte
    // before anything is verified.
    const auto page = [&](const std::string& nom, std::string& texte, std::size_t taillemax) {
        return libmaj::lecturepage(titre, 0, adresse + "/" + nom, site, texte, taillemax, true) == libmaj::pagelue;
    };
    std::string texte, fichiersignature;
    if (!page(nommanifeste, texte, taillemaxmanifeste) || !page(nomsignature, fichiersignature, taillemaxsignature))
        return coderefus::absent;
    const auto signature = lecturesignature(fichiersignature);
    const CleMaj* cle = signature ? clemaj(signature->cle) : nullptr;
    if (!cle)
        return coderefus::signature;
    if (!signatureverifiee(*cle, texte, signature->rs))
        return coderefus::invalide;
    std::string raison;
    auto lu = lecturemanifeste(texte, raison);
    if (!lu)
        return raison;
    raison = refusmanifeste(*lu, signature->cle, cible, minimum, maintenantutc().substr(0, 10));
    if (!raison.empty())
        return raison;
    for (std::size_t i = 0; i < 3; ++i) {
        const Empreinte& attendue = lu->pages[i];
        if (!page(attendue.nom, pages[i], static_cast<std::size_t>(std::min<std::uint64_t>(attendue.taille, libmaj::taillemaxpage)))
            || pages[i].size() != attendue.taille
            || libmaj::sha256(pages[i]) != attendue.sha256)
            return coderefus::page;
    }
    if (!listeconforme(*lu, lectureliste(pages[1])))
        return coderefus::liste;
    // The cheaper forms are a saving, never a condition: a list missing, unsigned or another
    // release's leaves every file to come whole.
    std::string liste, signatureliste;
    if (page(nomformes, liste, taillemaxformes) && page(nomsignatureformes, signatureliste, taillemaxsignature)) {
        const auto s = lecturesignature(signatureliste);
        if (s && s->cle == signature->cle && signatureverifiee(*cle, liste, s->rs))
            formes = lectureformes(liste, *lu, libmaj::sha256(texte));
    }
    // The share comes from the address that serves the release: a mirror's share is its own.
    servi.present = libmaj::lecturepage(titre, 0, adresse + "/" + nomdeploiement, site, liste, taillemaxdeploiement, true,
                                        &servi.absent)
                    == libmaj::pagelue;
    if (servi.present && page(nomsignaturedeploiement, signatureliste, taillemaxsignature)) {
        const auto s = lecturesignature(signatureliste);
        if (s && s->cle == signature->cle && signatureverifiee(*cle, liste, s->rs))
            servi.deploiement = lecturedeploiement(liste, *lu, libmaj::sha256(texte));
    }
    manifeste = std::move(*lu);
    textemanifeste = std::move(texte);
    textesignature = std::move(fichiersignature);
    return {};
}

}  // namespace

void Main::refuse(const std::string& raison)
{
    refus_ = raison;
    manifeste_.reset();
}

void Main::rechercheverifiee()
{
    const std::string& dossierappli = libmaj::etat().dossierappli;
    bool bloque = false;
    auto verrou = verrouilledossier(dossierappli, bloque);
    if (!verrou) {
        occupe_ = true;
        return;
    }
    // No other run writes the log now: one that holds the folder ended this run above (one
    // this user may not open the lock of might, and is left its log's leftovers).
    if (*verrou)
        nettoiejournal(dossierappli);
    std::string cles;
    for (std::size_t i = 0; i < nombreclesmaj; ++i)
        cles += (i ? "," : "") + std::to_string(tableclesmaj[i].id);
    std::string adresses;
    for (const std::string& a : sources_.adresses)
        adresses += (adresses.empty() ? "" : ", ") + a;
    consigne(dossierappli, {"start: signed run for ", nomappli_, " from ", adresses, ", keys ", cles, ", floor ",
                            std::to_string(editionplancher), ", updater revision ", std::to_string(revisionmaj)});
    if (bloque) {
        refuse(coderefus::verrou);
        return;
    }
    verrou_ = std::move(*verrou);
    // Before anything else: an install that was cut short leaves one whole release first.
    const bool interrompue = GetFileAttributesA((dossierappli + "\\" + nomjournal).c_str()) != INVALID_FILE_ATTRIBUTES;
    const std::string reprise = repriseinstallation(dossierappli);
    if (!reprise.empty()) {
        refuse(reprise);
        return;
    }
    if (interrompue)
        consigne(dossierappli, {"an install an earlier run left cut short was settled: one whole release in place"});
    // A newer updater an earlier run left waiting (killed, or refused while it still ran).
    liberenomrelais(dossierappli);
    if (!etatinscriptible(dossierappli)) {
        refuse(coderefus::etat);
        return;
    }
    std::string etat;
    libmaj::litfichiertexte(dossierappli + "\\" + nometat, etat, taillemaxetat);
    const EtatSigne minimum = minimumrequis(lectureetat(etat), editionplancher);
    Manifeste manifeste;
    std::string pages[3];
    // The first address whose release verifies serves it; where none does, what the first to
    // answer at all said is the run's reason (an address that is down says nothing).
    std::string raison;
    Servi servi;
    for (std::size_t a = 0; a < sources_.adresses.size(); ++a) {
        formes_.reset();
        servi = Servi{};
        const std::string r = releaseverifiee(titre_, sources_.adresses[a], nomappli_, minimum, manifeste, pages, formes_,
                                              servi, textemanifeste_, textesignature_);
        if (r.empty()) {
            sources_.premiere = a;
            raison.clear();
            break;
        }
        if (sources_.adresses.size() > 1)
            consigne(dossierappli, {"address ", sources_.adresses[a], " refused: ", r, ": ", sensducode(r)});
        if (raison.empty() || raison == coderefus::absent)
            raison = r;
    }
    if (!raison.empty()) {
        refuse(raison);
        return;
    }
    if (!pourcettecopie(manifeste.edition, servi)) {
        pasencore_ = true;
        return;
    }
    // Read from the temporary folder: a refused run leaves the application folder as it was.
    char dossier[MAX_PATH + 1] = {}, fichier[MAX_PATH + 1] = {};
    if (GetTempPathA(sizeof dossier, dossier) && GetTempFileNameA(dossier, "tdw", 0, fichier))
        afficheversion(pages[0], fichier);
    taillemaj_ = tailledepuis(pages[2]);
    consigne(dossierappli, {"release ", std::to_string(manifeste.edition), " found at ", sources_.adresses[sources_.premiere], ", key ",
                            std::to_string(manifeste.cle), ", valid through ", manifeste.expire, ", ",
                            std::to_string(manifeste.fichiers.size()), " files, ",
                            formes_ ? "cheaper forms offered" : "no cheaper forms"});
    manifeste_ = std::move(manifeste);
}

void Main::annoncerefus()
{
    consigne(libmaj::etat().dossierappli, {"refused: ", refus_, ": ", sensducode(refus_)});
    libmaj::afficheboite(messagerefus(refus_, libmaj::etat().sautligne, tenu_), titre_, 16);
}

bool Main::telechargementverifie()
{
    const std::string& dossier = libmaj::etat().dossierappli;
    const Manifeste& m = *manifeste_;
    const std::size_t nombre = m.fichiers.size();   // at most 50
    if (nombre == 0)
        return false;
    nettoiereliquats(m, dossier);
    // What each local copy holds decides how its file comes; only the files that change are
    // fetched, counted in the room, backed up and replaced.
    std::vector<std::vector<Voie>> plans;
    const auto plan = [&](std::size_t i) {
        const FormesFichier* f = formes_ ? &formes_->fichiers[i] : nullptr;
        return voies(m.fichiers[i], f, contenulocal(dossier, m.fichiers[i], f));
    };
    Manifeste changes = m;
    changes.fichiers.clear();
    std::uint64_t formemax = 0;
    for (std::size_t i = 0; i < nombre; ++i)
        plans.push_back(plan(i));
    // What an earlier run left of a download that no way here takes up goes before the room
    // is counted.
    nettoiepartiels(dossier, m, plans);
    for (std::size_t i = 0; i < nombre; ++i) {
        if (plans[i].front().sorte == Voie::Sorte::enplace)
            continue;
        changes.fichiers.push_back(m.fichiers[i]);
        for (const Voie& v : plans[i])
            if (v.sorte != Voie::Sorte::entier)
                formemax = std::max(formemax, v.forme.taille);
    }
    // A form waits beside its file while it is decoded. Where that room lacks, the files come
    // whole: the cheaper forms are a saving, never a condition. The bytes kept of downloads
    // cut short count as taken; where they are what leaves too little room, they go first.
    bool assez = placesuffisante(changes, dossier, formemax);
    if (!assez && nettoiepartiels(dossier, m, {}))
        assez = placesuffisante(changes, dossier, formemax);
    if (!assez) {
        if (!formemax || !placesuffisante(changes, dossier, 0)) {
            refuse(coderefus::place);
            return false;
        }
        for (auto& p : plans)
            if (p.front().sorte != Voie::Sorte::enplace)
                p.erase(p.begin(), p.end() - 1);
    }
    // Nothing is put in place until every file has arrived as signed.
    std::vector<std::optional<libmaj::Arrivee>> arrivees(nombre);
    const auto apporte = [&](std::size_t i) {
        Apport apport;
        const double debut = libmaj::horlogemonotone();
        arrivees[i] = apportefichier(plans[i], sources_, dossier, m.fichiers[i], apport);
        const char* const sortes[] = {"in place", "delta", "compressed", "plain"};
        const bool arrive = *arrivees[i] && apport.voie;
        const unsigned long long reprise = arrive ? apport.transfert.reprise : 0;
        consigne(dossier, {"file ", std::to_string(i + 1), " ", m.fichiers[i].nom, ": ",
                           !arrive ? "failed" : apport.garde ? "kept by an earlier run" : sortes[static_cast<int>(apport.voie->sorte)],
                           reprise ? ", resumed from byte " : "", reprise ? std::to_string(reprise) : "",
                           arrive ? ", " + std::to_string(apport.voie->forme.taille) + " bytes" : "", ", ",
                           std::to_string(apport.recus), " received, ",
                           std::to_string(static_cast<long long>((libmaj::horlogemonotone() - debut) * 1000)), " ms",
                           apport.voie && !apport.garde ? ", from " : "",
                           apport.voie && !apport.garde ? sources_.adresses[apport.adresse] : ""});
        if (*arrivees[i])
            return true;
        refuse("F" + std::to_string(i + 1));
        // The files that arrived whole wait for the next run, which then fetches only the rest.
        for (auto& a : arrivees)
            if (a)
                a->garde();
        return false;
    };
    for (std::size_t i = 0; i < nombre; ++i) {
        montrefichier(static_cast<int>(i) + 1, m.fichiers[i].nom);
        if (plans[i].front().sorte == Voie::Sorte::enplace)
            consigne(dossier, {"file ", std::to_string(i + 1), " ", m.fichiers[i].nom, ": unchanged"});
        else if (!apporte(i))
            return false;
        montreavancement(static_cast<int>(i) + 1, static_cast<int>(nombre), static_cast<double>(m.fichiers[0].taille));
    }
    // The application may still be closing: what it holds is waited for before anything
    // below takes a file from it, the unchanged ones included.
    std::vector<std::size_t> arrives;
    for (std::size_t i = 0; i < nombre; ++i)
        if (arrivees[i])
            arrives.push_back(i);
    attendfichierslibres(m, arrives);
    // A file found in place may have changed while the others came (the user, the
    // application): it is judged again through a handle that keeps it as it is until the
    // release is recorded, and one that no longer holds the release comes now, whole, if the
    // room left beside the backups still to be made takes it.
    std::vector<libmaj::PoigneeFichier> tenus(nombre);
    Manifeste rejuges = m;
    rejuges.fichiers.clear();
    std::uint64_t sauvegardes = 0;
    for (std::size_t i = 0; i < nombre; ++i) {
        const Empreinte& f = m.fichiers[i];
        if (arrivees[i])
            sauvegardes += taillelocale(dossier, f.nom).value_or(0);
        else if (!(contenutenu(dossier, f, tenus[i]) == Contenu{f.taille, f.sha256})) {
            rejuges.fichiers.push_back(f);
            consigne(dossier, {"file ", std::to_string(i + 1), " ", f.nom, ": changed since it was found unchanged"});
        }
    }
    if (!rejuges.fichiers.empty() && !placesuffisante(rejuges, dossier, sauvegardes)) {
        refuse(coderefus::place);
        return false;
    }
    for (std::size_t i = 0; i < nombre; ++i)
        if (!arrivees[i] && std::any_of(rejuges.fichiers.begin(), rejuges.fichiers.end(),
                                        [&](const Empreinte& f) { return f.nom == m.fichiers[i].nom; })) {
            tenus[i].reset();
            const Empreinte& f = m.fichiers[i];
            plans[i] = {Voie{Voie::Sorte::entier, "Maj/" + f.nom, {f.taille, f.sha256}, {}}};
            if (!apporte(i))
                return false;
        }
    std::vector<libmaj::Arrivee> recues;
    std::vector<std::size_t> rangs;
    changes.fichiers.clear();
    for (std::size_t i = 0; i < nombre; ++i)
        if (arrivees[i]) {
            changes.fichiers.push_back(m.fichiers[i]);
            recues.push_back(std::move(*arrivees[i]));
            rangs.push_back(i);
        }
    const std::string echec = installerelease(recues, changes, dossier, rangs);
    if (!echec.empty()) {
        refuse(echec);
        return false;
    }
    // What is kept of downloads this release no longer needs (a file that came another way).
    nettoiepartiels(dossier, m, {});
    consigne(dossier, {"installed: release ", std::to_string(m.edition), " recorded, ", std::to_string(recues.size()),
                       " files replaced"});
    return true;
}

}  // namespace tidewell
