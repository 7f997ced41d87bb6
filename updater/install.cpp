#include "install.h"

#include "file_handles.h"
#include "files.h"
#include "install_journal.h"
#include "release_check.h"
#include "web_rules.h"

#include <windows.h>

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

void enregistre(const Journal& j, const std::string& dossier)
{
    // A record that cannot be written leaves the files installed; the next run installs the
    // same release again, which its number allows.
    libmaj::ecritdurable(chemin(dossier, nometat), ecritetat({j.edition, j.cle}));
}

// Removes what the journal names beyond the files, except the backups still needed
// (`gardees`), and then the journal itself unless a backup is kept: until it goes, a new
// run still knows what there is to undo or remove.
bool range(const Journal& j, const std::string& dossier, const std::vector<bool>& gardees)
{
    bool garde = false;
    for (std::size_t i = 0; i < j.fichiers.size(); ++i) {
        const EntreeJournal& e = j.fichiers[i];
        supprime(libmaj::nomtemporaire(chemin(dossier, e.nouveau.nom)));
        if (e.ancien && !gardees[i])
            supprime(chemin(dossier, e.ancien->nom));
        garde = garde || gardees[i];
    }
    if (!garde)
        supprime(chemin(dossier, nomjournal));
    return !garde;
}

// Puts back the files already replaced (the first `places`), each checked against what it
// held; the backups of the others go. `code` when every file is again as it was; R<n>, with
// the journal and the backups still needed kept, when the n-th could not be put back.
std::string annule(const Journal& j, std::vector<libmaj::PoigneeFichier>& sauvegardes, std::size_t places,
                   const std::string& dossier, const std::string& code)
{
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
            gardees[i] = e.ancien.has_value();
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
    // Until the journal is written, the backups are marked like the arrived files: a failure
    // or a killed process leaves nothing of either.
    Journal j{m.edition, m.cle, {}};
    std::vector<libmaj::PoigneeFichier> sauvegardes(m.fichiers.size());
    for (std::size_t i = 0; i < m.fichiers.size(); ++i) {
        const std::string cible = chemin(dossier, m.fichiers[i].nom);
        j.fichiers.push_back({m.fichiers[i], std::nullopt});
        normalise(cible);
        if (!existe(cible))
            continue;
        const std::string nom = nomsauvegardesignee(m.fichiers[i].nom);
        auto copie = libmaj::copieverifiee(cible, chemin(dossier, nom));
        if (!copie)
            return numero("I", i);
        j.fichiers.back().ancien = Empreinte{nom, copie->contenu.taille, copie->contenu.sha256};
        sauvegardes[i] = std::move(copie->fichier);
    }
    if (!libmaj::ecritdurable(chemin(dossier, nomjournal), ecritjournal(j)))
        return "I0";
    for (std::size_t i = 0; i < sauvegardes.size(); ++i)
        if (sauvegardes[i] && !libmaj::effacealafermeture(sauvegardes[i].get(), false))
            return annule(j, sauvegardes, 0, dossier, numero("I", i));

    for (std::size_t i = 0; i < arrivees.size(); ++i)
        if (!arrivees[i].place())
            return annule(j, sauvegardes, i, dossier, numero("I", i));

    enregistre(j, dossier);
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
    const auto j = libmaj::litfichiertexte(journal, texte, taillemaxjournal) ? lecturejournal(texte) : std::nullopt;
    if (!j) {
        // Not a journal this updater wrote: nothing it names can be trusted, so nothing is done.
        supprime(journal);
        return {};
    }
    std::vector<Constat> constats;
    for (std::size_t i = 0; i < j->fichiers.size(); ++i) {
        const EntreeJournal& e = j->fichiers[i];
        bool absent = false;
        const auto trouve = libmaj::mesure(chemin(dossier, e.nouveau.nom), &absent);
        if (!trouve && !absent)
            return numero("R", i);   // held by someone: it cannot be judged yet
        Constat c;
        if (trouve)
            c.fichier = Empreinte{e.nouveau.nom, trouve->taille, trouve->sha256};
        if (e.ancien)
            c.sauvegarde = libmaj::mesure(chemin(dossier, e.ancien->nom)) == contenu(*e.ancien);
        constats.push_back(c);
    }
    const Reprise r = decidereprise(*j, constats);
    std::string inacheve;
    std::vector<bool> gardees(j->fichiers.size(), false);
    if (r.garde)
        enregistre(*j, dossier);
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
            gardees[i] = e.ancien.has_value();
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
    for (const auto& f : m.fichiers) {
        nouveaux.push_back(f.taille);
        const std::string cible = chemin(dossier, f.nom);
        if (existe(cible))
            remplaces.push_back(static_cast<std::uint64_t>(libmaj::taillefichier(cible)));
    }
    return placenecessaire(nouveaux, remplaces, volume->cluster) <= volume->libre;
}

}  // namespace tidewell
