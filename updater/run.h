// The update run: the window's load and activation handlers and the stages they call, in
// the order the run takes them. The run state lives here, as members of the window `main`.
#pragma once

#include "bring.h"
#include "install.h"
#include "main_view.h"
#include "forms.h"
#include "manifest.h"
#include "rollout_rules.h"
#include "run_texts.h"
#include "update_files.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// The program's folder; empty when its path cannot be had whole, since a cut path would name
// another folder (one of its parents) as the application's.
std::string dossierduprogramme();

// The application a folder is for, as its settings file or its marker file names it, and the
// language of its messages; no name when the folder holds neither.
struct AppliDossier {
    std::string nom;
    int langue = 1;
    int attente = attentedefaut;   // seconds a signed run waits for the files it replaces
};
AppliDossier applidudossier(const std::string& dossier);

// Frees the name a newer updater waits under beside this one (nomrelais): what is there goes,
// a program still running from it first stopped. True when the name is free.
bool liberenomrelais(const std::string& dossier);

class Main {
public:
    explicit Main(VueMain& vue) : vue_(vue) {}

    // Runs before the window is first shown. Returns true when there is an application to
    // update; otherwise it has shown the not-found message and the process must end.
    bool chargement(const std::string& lignedecommande);

    // Runs once, when the shown window first becomes active; ends the process.
    void activation();

    // The stages of the run.
    void rechercheappli();
    void telechargement();
    void relance();

    // A build with release keys: the update files are taken from a manifest whose signature
    // verified, or the run is refused (`refus` then holds the reason code).
    void rechercheverifiee();
    const std::string& refus() const { return refus_; }

    // The run state, as the load handler and the stages leave it.
    const std::string& titre() const { return titre_; }
    const std::string& nomappli() const { return nomappli_; }
    const std::string& fichliste() const { return fichliste_; }
    const std::string& adressemaj() const { return adressemaj_; }
    std::int16_t relancer() const { return relancer_; }
    std::int32_t taillemaj() const { return taillemaj_; }

private:
    void afficheversion(const std::string& page, std::string local);
    // The download loop of a build with release keys; false when the release was refused.
    bool telechargementverifie();
    // What the window shows of the loop, whichever loop it is: the file being fetched, then
    // the bar, the percentage and, after the first file, the estimate.
    void montrefichier(int i, const std::string& nom);
    void montreavancement(int i, int nombre, double taillepremier);
    void refuse(const std::string& raison);
    // Whether the verified release `edition`, served with `servi`, is for this copy yet: its
    // number, drawn once and kept, within the maker's share. Says in the run log why not.
    bool pourcettecopie(std::uint64_t edition, const Servi& servi);
    void annoncerefus();
    // Before the install: while another program holds files it replaces, the run waits, at
    // most attente_ seconds, saying on the window which program; it never closes one. What
    // still holds one past the bound is kept for the refusal's message.
    // `aremplacer`: the ranks (from 0) in `m` of the files the install replaces or adds.
    void attendfichierslibres(const Manifeste& m, const std::vector<std::size_t>& aremplacer);
    // Once the release is installed and recorded, with the window gone: the newer updater the
    // release offers, brought, qualified and handed the updater's place; never a reason for
    // the run to fail.
    void relaisoutil();

    VueMain& vue_;
    std::string titre_;
    std::string nomappli_;
    std::string fichliste_;
    std::string adressemaj_;
    Sources sources_;   // a signed run's: the server, then its mirrors, and which serves first
    std::int16_t relancer_ = 1;
    std::int32_t taillemaj_ = 0;
    std::int32_t pleine_ = 0;   // the bar's full width
    double debut_ = 0;          // when the first file was asked for
    std::optional<Manifeste> manifeste_;   // the verified manifest of a signed run
    std::optional<Formes> formes_;         // and the cheaper forms of its files, when offered
    std::string textemanifeste_, textesignature_;   // its exact bytes and its signature file's
    bool installe_ = false;                // this run installed and recorded it
    bool pasencore_ = false;               // the release is not for this copy yet
    std::string refus_;
    int attente_ = attentedefaut;
    Detention tenu_;        // a file still held when the install came, and by what
    Verrou verrou_;         // a signed run's hold on the folder, until the process ends
    bool occupe_ = false;   // another signed run holds the folder
};

}  // namespace tidewell
