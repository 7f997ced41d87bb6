#include "install.h"

#include "file_handles.h"
#include "files.h"
#include "install_journal.h"
#include "release_check.h"
#include "signature_check.h"
#include "text.h"
#include "web_rules.h"

#include <windows.h>

#include <algorithm>

namespace tidewell {

namespace {

std::string chemin(const std::string& dossier, const std::string& nom)
{
    return dossier + "\\" + nom;
}

std::string numero(const char* lettre, std::size_t i)
{
    return lettre + std::to_string(i + 1);
}

libmaj::Attendu contenu(const Empreinte& e)
{
    return {e.taille, e.sha256};
}

bool present(const std::string& nom)
{
    return GetFileAttributesA(nom.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool existe(const std::string& fichier)
{
    const DWORD a = GetFileAttributesA(fichier.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// Read-only and hidden come off as the unsigned run's test takes them off, so that files
// copied from a read-only medium are updated too.
void normalise(const std::string& fichier)
{
    const DWORD trouves = GetFileAttributesA(fichier.c_str());
    if (trouves == INVALID_FILE_ATTRIBUTES || (trouves & FILE_ATTRIBUTE_DIRECTORY))
        return;
    const unsigned long voulus = libmaj::attributsnormalises(trouves);
    if (voulus != trouves)
        SetFileAttributesA(fichier.c_str(), voulus == 0 ? FILE_ATTRIBUTE_NORMAL : voulus);
}

// True when no file is left under the name.
bool supprime(const std::string& fichier)
{
    SetFileAttributesA(fichier.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(fichier.c_str()) || !existe(fichier);
}

// Lets the open file go: deleted when closed, or at once by name where it cannot be marked.
void abandonne(libmaj::PoigneeFichier& fichier, const std::string& nom)
{
    if (!fichier)
        return;
    const bool marque = libmaj::effacealafermeture(fichier.get(), true);
    fichier.reset();
    if (!marque)
        supprime(nom);
}

// Records the journal's release, never below what the record already holds: a journal older
// than the record (a folder put back from a copy) lowers nothing.
bool enregistre(const Journal& j, const std::string& dossier)
{
    const std::string etat = chemin(dossier, nometat);
    std::string texte;
    libmaj::litfichiertexte(etat, texte, 256);
    const auto avant = lectureetat(texte);
    if (avant && avant->edition > j.edition)
        return true;
    normalise(etat);
    return libmaj::ecritdurable(etat, ecritetat({j.edition, std::max(j.cle, avant ? avant->cle : 0)}));
}

// Removes what the journal names beyond the files, except the backups still needed
// (`gardees`), and then the journal itself once nothing else it names is left: until it goes,
// a new run still knows what there is to undo or remove. True when the journal went.
bool range(const Journal& j, const std::string& dossier, const std::vector<bool>& gardees)
{
    bool reste = false;
    for (std::size_t i = 0; i < j.fichiers.size(); ++i) {
        const EntreeJournal& e = j.fichiers[i];
        reste = !supprime(libmaj::nomtemporaire(chemin(dossier, e.nouveau.nom))) || gardees[i] || reste;
        if (e.ancien && !gardees[i])
            reste = !supprime(chemin(dossier, e.ancien->nom)) || reste;
    }
    return !reste && supprime(chemin(dossier, nomjournal));
}

// Puts back the files already replaced (the first `places`), each checked against what it
// held; the backups of the others go, and so do the files that arrived and were not put in
// place. `code` when every file is again as it was; R<n>, with the journal and the backups
// still needed kept, when the n-th could not be put back.
std::string annule(const Journal& j, std::vector<libmaj::Arrivee>& arrivees,
                   std::vector<libmaj::PoigneeFichier>& sauvegardes, std::size_t places, const std::string& dossier,
                   const std::string& code)
{
    arrivees.clear();
    std::string inacheve;
    std::vector<bool> gardees(j.fichiers.size(), false);
    for (std::size_t i = places; i-- > 0;) {
        const EntreeJournal& e = j.fichiers[i];
        const std::string cible = chemin(dossier, e.nouveau.nom);
        bool remis;
        if (e.ancien) {
            // The backup, open since it was made, takes the file's place in one rename.
            remis = libmaj::renomme(sauvegardes[i].get(), cible);
            sauvegardes[i].reset();
            remis = remis && libmaj::mesure(cible) == contenu(*e.ancien);
        } else {
            remis = supprime(cible);
        }
        if (!remis) {
            inacheve = numero("R", i);
            gardees[i] = true;
        }
    }
    for (std::size_t i = places; i < j.fichiers.size(); ++i)
        abandonne(sauvegardes[i], j.fichiers[i].ancien ? chemin(dossier, j.fichiers[i].ancien->nom) : std::string());
    range(j, dossier, gardees);
    return inacheve.empty() ? code : inacheve;
}

}  // namespace

std::string installerelease(std::vector<libmaj::Arrivee>& arrivees, const Manifeste& m, const std::string& dossier)
{
    // What each file replaces, measured before anything is written; a backup's name already
    // taken (a file of the user's) refuses the install, so that every backup the journal names
    // is the updater's own.
    Journal j{Journal::Etape::remplacement, m.edition, m.cle, {}};
    for (std::size_t i = 0; i < m.fichiers.size(); ++i) {
        const std::string cible = chemin(dossier, m.fichiers[i].nom);
        j.fichiers.push_back({m.fichiers[i], std::nullopt});
        normalise(cible);
        if (!existe(cible))
            continue;
        const std::string nom = nomsauvegardesignee(m.fichiers[i].nom);
        const auto ancien = present(chemin(dossier, nom)) ? std::nullopt : libmaj::mesure(cible);
        if (!ancien)
            return numero("I", i);
        j.fichiers.back().ancien = Empreinte{nom, ancien->taille, ancien->sha256};
    }
    const std::string journal = chemin(dossier, nomjournal);
    if (!libmaj::ecritdurable(journal, ecritjournal(j)))
        return "I0";

    // The backups stay marked for deletion until all are made: a failure or a killed process
    // leaves none of them.
    std::vector<libmaj::PoigneeFichier> sauvegardes(m.fichiers.size());
    for (std::size_t i = 0; i < m.fichiers.size(); ++i) {
        const auto& ancien = j.fichiers[i].ancien;
        if (!ancien)
            continue;
        auto copie = libmaj::copieverifiee(chemin(dossier, m.fichiers[i].nom), chemin(dossier, ancien->nom));
        if (!copie || !(copie->contenu == contenu(*ancien)))
            return annule(j, arrivees, sauvegardes, 0, dossier, numero("I", i));
        sauvegardes[i] = std::move(copie->fichier);
    }
    for (std::size_t i = 0; i < sauvegardes.size(); ++i)
        if (sauvegardes[i] && !libmaj::effacealafermeture(sauvegardes[i].get(), false))
            return annule(j, arrivees, sauvegardes, 0, dossier, numero("I", i));

    // A file the release adds never replaces one that came meanwhile.
    for (std::size_t i = 0; i < arrivees.size(); ++i)
        if (!arrivees[i].place(j.fichiers[i].ancien.has_value()))
            return annule(j, arrivees, sauvegardes, i, dossier, numero("I", i));

    // Installed only when recorded: a release the record does not hold could be replayed.
    if (!enregistre(j, dossier))
        return annule(j, arrivees, sauvegardes, arrivees.size(), dossier, "I0");
    j.etape = Journal::Etape::rangement;
    libmaj::ecritdurable(journal, ecritjournal(j));   // if not, the tidying below still ends it
    for (std::size_t i = 0; i < sauvegardes.size(); ++i)
        abandonne(sauvegardes[i], j.fichiers[i].ancien ? chemin(dossier, j.fichiers[i].ancien->nom) : std::string());
    range(j, dossier, std::vector<bool>(j.fichiers.size(), false));
    return {};
}

std::string repriseinstallation(const std::string& dossier)
{
    const std::string journal = chemin(dossier, nomjournal);
    // A record's new text flushed but not yet renamed in when the process ended: the record
    // itself is whole, old or new.
    supprime(libmaj::nomtemporaire(journal));
    supprime(libmaj::nomtemporaire(chemin(dossier, nometat)));
    if (!existe(journal))
        return {};
    std::string texte;
    if (libmaj::taillefichier(journal) <= taillemaxjournal && !libmaj::litfichiertexte(journal, texte, taillemaxjournal))
        return "R0";   // there, but unreadable for now: kept for a later run
    const auto j = lecturejournal(texte);
    if (!j) {
        // Not a journal this updater wrote: nothing it names can be trusted, so nothing is done.
        supprime(journal);
        return {};
    }
    std::vector<Constat> constats;
    for (std::size_t i = 0; i < j->fichiers.size() && j->etape == Journal::Etape::remplacement; ++i) {
        const EntreeJournal& e = j->fichiers[i];
        const std::string cible = chemin(dossier, e.nouveau.nom);
        Constat c;
        // A folder under the name is not the release's file: as good as none.
        if (existe(cible)) {
            const auto trouve = libmaj::mesure(cible);
            if (!trouve)
                return numero("R", i);   // held by someone: it cannot be judged yet
            c.fichier = Empreinte{e.nouveau.nom, trouve->taille, trouve->sha256};
        }
        if (e.ancien)
            c.sauvegarde = libmaj::mesure(chemin(dossier, e.ancien->nom)) == contenu(*e.ancien);
        constats.push_back(c);
    }
    const Reprise r = decidereprise(*j, constats);
    if (r.garde && !enregistre(*j, dossier))
        return "R0";   // the release stays unrecorded only as long as its journal stays
    std::string inacheve;
    std::vector<bool> gardees(j->fichiers.size(), false);
    for (std::size_t i = 0; !r.garde && i < r.gestes.size(); ++i) {
        const EntreeJournal& e = j->fichiers[i];
        const std::string cible = chemin(dossier, e.nouveau.nom);
        bool fait = true;
        switch (r.gestes[i]) {
        case Geste::rien: break;
        case Geste::remetsauvegarde:
            fait = MoveFileExA(chemin(dossier, e.ancien->nom).c_str(), cible.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   && libmaj::mesure(cible) == contenu(*e.ancien);
            break;
        case Geste::supprime: fait = supprime(cible); break;
        case Geste::impossible: fait = false; break;
        }
        if (!fait) {
            if (inacheve.empty())
                inacheve = numero("R", i);
            gardees[i] = true;
        }
    }
    range(*j, dossier, gardees);
    return inacheve;
}

bool placesuffisante(const Manifeste& m, const std::string& dossier)
{
    const auto volume = libmaj::volumede(dossier);
    if (!volume)
        return true;   // the platform cannot tell: a disk that fills is then a failed download
    std::vector<std::uint64_t> nouveaux, remplaces;
    Journal j{Journal::Etape::remplacement, m.edition, m.cle, {}};
    for (const auto& f : m.fichiers) {
        nouveaux.push_back(f.taille);
        j.fichiers.push_back({f, std::nullopt});
        const std::string cible = chemin(dossier, f.nom);
        if (existe(cible)) {
            remplaces.push_back(static_cast<std::uint64_t>(libmaj::taillefichier(cible)));
            j.fichiers.back().ancien = Empreinte{nomsauvegardesignee(f.nom), remplaces.back(), f.sha256};
        }
    }
    return placenecessaire(nouveaux, remplaces, ecritjournal(j).size(), volume->cluster) <= volume->libre;
}

std::string nomverrou(const std::string& dossier)
{
    return "Tidewell-" + libmaj::sha256(libmaj::majuscules(dossier));
}

std::optional<Verrou> verrouilledossier(const std::string& dossier)
{
    // Every session's runs, where the platform allows it; this session's otherwise.
    for (const char* espace : {"Global\\", "Local\\"}) {
        SetLastError(ERROR_SUCCESS);
        Verrou v(CreateMutexA(nullptr, FALSE, (espace + nomverrou(dossier)).c_str()));
        if (v && GetLastError() == ERROR_ALREADY_EXISTS)
            return std::nullopt;
        if (v)
            return v;
    }
    return Verrou();
}

}  // namespace tidewell
