#include "run.h"

#include "run_log.h"

#include "command_word.h"
#include "files.h"
#include "internet.h"
#include "message_box.h"
#include "paths.h"
#include "process.h"
#include "profile.h"
#include "progress.h"
#include "release_check.h"
#include "rounding.h"
#include "run_log.h"
#include "run_state.h"
#include "run_texts.h"
#include "text.h"
#include "update_files.h"
#include "update_keys.h"
#include "update_server.h"
#include "web_rules.h"
#include "wait.h"

#include <windows.h>


namespace tidewell {

std::string dossierduprogramme()
{
    for (DWORD taille = MAX_PATH + 1; taille <= 32768; taille *= 2) {
        std::string chemin(taille, '\0');
        const DWORD n = GetModuleFileNameA(nullptr, chemin.data(), taille);
        if (n == 0)
            return {};
        if (n < taille) {
            chemin.resize(n);
            const auto fin = chemin.find_last_of('\\');
            return fin == std::string::npos ? std::string() : chemin.substr(0, fin + 1);
        }
    }
    return {};
}

AppliDossier applidudossier(const std::string& dossier)
{
    AppliDossier a;
    std::string reglages = dossier + "\\Tidewell.ini";
    if (libmaj::testfichier(reglages, 0)) {
        std::string valeur;
        libmaj::lectureini(reglages, "Application", "Nom", 20, valeur);
        a.nom = libmaj::majuscules(valeur);
        libmaj::lectureini(reglages, "Application", "Langue", 5, valeur);
        a.langue = languedepuis(valeur);
        libmaj::lectureini(reglages, "Application", "Attente", 10, valeur);
        a.attente = attentedepuis(valeur);
        return a;
    }
    std::string abacor = dossier + "\\Abacor.ini";
    std::string quillon = dossier + "\\Quillon.ini";
    if (libmaj::testfichier(abacor, 0)) {
        a.nom = "ABACOR";
    } else if (libmaj::testfichier(quillon, 0)) {
        a.nom = "QUILLON";
        a.langue = 2;
    }
    return a;
}

namespace {

// Clears read-only, hidden and system from the application folder. A drive root is named
// with its backslash: "C:" alone would be the current folder of that drive.
void normaliseattributsdossier(const std::string& dossier)
{
    std::string cible = dossier;
    if (cible.size() == 2 && cible[1] == ':')
        cible += '\\';
    if (!cible.empty())
        SetFileAttributesA(cible.c_str(), FILE_ATTRIBUTE_NORMAL);
}

constexpr const char* site = "Corvane";

[[noreturn]] void finduprocessus()
{
    ExitProcess(0);
}

}  // namespace

bool Main::chargement(const std::string& lignedecommande)
{
    libmaj::centrefenetre(vue_, 7500, 2850);
    auto& etat = libmaj::etat();
    etat.sautligne = "\r\n";
    etat.langue = 1;
    etat.proxysysteme = proxysysteme;
    etat.dossierappli = dossierduprogramme();
    libmaj::formatchemin(etat.dossierappli);
    normaliseattributsdossier(etat.dossierappli);
    titre_ = libmaj::sansespaces(vue_.titre());
    fichliste_ = etat.dossierappli + "\\Listfich.ini";
    nomappli_.clear();
    adressemaj_.clear();
    sources_ = Sources{};
    taillemaj_ = 0;
    vue_.largeurpct(0);
    for (int i = 1; i <= 4; ++i)
        vue_.libelle(i, "");
    vue_.affpct("0%");
    relancer_ = relancerpour(argumentsdelaligne(lignedecommande));

    rechercheappli();
    if (occupe_) {
        // Another run is updating this folder; its window is the one the user watches, and it
        // starts the application again at its end.
        vue_.ferme();
        finduprocessus();
    }
    if (!refus_.empty()) {
        // A release that cannot be trusted: the application is left whole and started again.
        annoncerefus();
        relance();
        vue_.ferme();
        finduprocessus();
    }
    if (!nomappli_.empty())
        return true;

    libmaj::afficheboite(messageintrouvable(etat.langue, etat.sautligne), titre_, 64);
    vue_.ferme();
    finduprocessus();
}

void Main::activation()
{
    for (int i = 0; i < 10; ++i)
        libmaj::cedemessages();
    telechargement();
    libmaj::supprimefichier(fichliste_);
    if (!refus_.empty())
        annoncerefus();
    relance();
    vue_.ferme();
    if (aveccles && installe_)
        relaisoutil();
    finduprocessus();
}

void Main::rechercheappli()
{
    auto& etat = libmaj::etat();
    nomappli_.clear();
    if (etat.dossierappli.empty())
        return;   // "\\Tidewell.ini" would be looked for at the root of the current drive
    const AppliDossier appli = applidudossier(etat.dossierappli);
    if (appli.nom.empty())
        return;
    nomappli_ = appli.nom;
    etat.langue = appli.langue;
    attente_ = appli.attente;
    titre_ = titrelangue(etat.langue);
    vue_.titre("  " + titre_);
    adressemaj_ = adressebase(serveurmaj, nomappli_);
    if (aveccles) {
        // Mirrors are for signed content alone, which makes every address as safe as the first.
        sources_.adresses = adressesbase(serveurmaj, nomappli_);
        adressemaj_ = sources_.adresses.front();
        rechercheverifiee();
        return;
    }

    // From here on a step that fails is passed over; only the file list decides.
    std::string page;
    if (libmaj::lecturepage(titre_, 0, adressemaj_ + "/Version.ini", site, page) == libmaj::pagelue)
        afficheversion(page, etat.dossierappli + "\\Version.ini");

    if (libmaj::lecturepage(titre_, 0, adressemaj_ + "/Listfich.ini", site, page) != libmaj::pagelue) {
        nomappli_.clear();
        return;
    }
    libmaj::ecritfichiertexte(fichliste_, page);
    libmaj::attente(0.3f);
    std::string liste = fichliste_;
    if (!libmaj::testfichier(liste, 0)) {
        nomappli_.clear();
        return;
    }

    taillemaj_ = 0;
    if (libmaj::lecturepage(titre_, 0, adressemaj_ + "/Taillefich.ini", site, page) == libmaj::pagelue)
        taillemaj_ = tailledepuis(page);
}

// The version and date labels, read from the fetched version file (written to `local` for a
// moment) as the settings are read.
void Main::afficheversion(const std::string& page, std::string local)
{
    libmaj::ecritfichiertexte(local, page);
    std::string version, sousversion, date;
    libmaj::lectureini(local, "Version", "Version", 10, version);
    libmaj::lectureini(local, "Version", "SousVersion", 10, sousversion);
    libmaj::lectureini(local, "Version", "Date", 15, date);
    if (!version.empty())
        vue_.libelle(2, libelleversion(version, sousversion));
    if (!date.empty())
        vue_.libelle(3, libelledate(date));
    libmaj::supprimefichier(local);
}

void Main::telechargement()
{
    const TextesCible textes = textescible(nomappli_);
    vue_.libelle(0, textes.encours);
    pleine_ = libmaj::arrondi32(vue_.largeurpourcent());
    if (pasencore_) {
        // As a run that finds the copy up to date ends.
    } else if (manifeste_) {
        installe_ = telechargementverifie();
        if (!installe_)
            return;
    } else {
        const std::string& dossier = libmaj::etat().dossierappli;
        std::string contenu;
        libmaj::litfichiertexte(fichliste_, contenu);
        const ListeFichiers liste = lectureliste(contenu);
        if (liste.nombre == 0)
            return;
        for (int i = 1; i <= liste.nombre; ++i) {
            // Lines past the list's 50 places count toward the percentage but name nothing to
            // fetch; a name that would lead outside the application folder is passed over.
            const bool range = static_cast<std::size_t>(i) <= liste.noms.size();
            const std::string nom = range ? liste.noms[static_cast<std::size_t>(i) - 1] : std::string();
            const bool atelecharger = range && nomsur(nom);
            const std::string local = dossier + "\\" + nom;
            montrefichier(i, nom);
            if (atelecharger)
                libmaj::telechargefichier(adressemaj_ + "/Maj/" + nom, local);
            montreavancement(i, liste.nombre, i == 1 && atelecharger ? libmaj::taillefichier(local) : 0);
        }
    }
    vue_.affpct(textes.termine);
    libmaj::attente(2.0f);
}

void Main::montrefichier(int i, const std::string& nom)
{
    vue_.libelle(1, textescible(nomappli_).fichier + nom);
    if (i == 1) {
        libmaj::attente(3.0f);
        debut_ = libmaj::horlogemonotone();
    }
}

void Main::montreavancement(int i, int nombre, double taillepremier)
{
    const std::int32_t pourcent = pourcentage(i, nombre);
    vue_.largeurpct(largeurbarre(pleine_, pourcent));
    vue_.affpct(std::to_string(pourcent) + "%");
    vue_.premierplanaffpct();
    libmaj::cedemessages();
    if (i == 1 && taillemaj_ > 0) {
        const double ecoule = libmaj::horlogemonotone() - debut_;
        if (const auto texte = estimation(libmaj::etat().langue, ecoule, taillemaj_, taillepremier, nombre)) {
            vue_.libelle(4, *texte);
            libmaj::cedemessages();
        }
    }
    libmaj::attente(0.5f);
}

void Main::relance()
{
    if (relancer_ == 0) {
        if (aveccles && !nomappli_.empty())
            consigne(libmaj::etat().dossierappli, {"no restart asked (INSTALL); end"});
        return;
    }
    const auto& etat = libmaj::etat();
    std::string programme;
    if (nomappli_ == "ABACOR")
        programme = etat.dossierappli + "\\Abacor.exe";
    else if (nomappli_ == "QUILLON")
        programme = etat.dossierappli + "\\Quillon.exe";
    vue_.affpct(messagerelance(etat.langue));
    libmaj::attente(1.0f);
    const bool present = libmaj::testfichier(programme, 0) != 0;
    const bool lance = present && libmaj::lanceprogramme("\"" + programme + "\"", SW_SHOWNORMAL);
    if (aveccles)
        consigne(etat.dossierappli, {present ? "restart: " : "no program to restart; end", present ? programme : "",
                                     !present ? "" : lance ? " started; end" : " could not be started; end"});
}

}  // namespace tidewell
