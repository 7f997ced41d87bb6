#include "install.h"

#include "bring.h"
#include "file_handles.h"
#include "files.h"
#include "install_journal.h"
#include "release_check.h"
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

// The code of the i-th file installed, numbered by its rank in the release (`rangs`; its own
// rank where none are given).
std::string numero(const char* lettre, std::size_t i, const std::vector<std::size_t>& rangs)
{
    return numero(lettre, rangs.empty() ? i : rangs[i]);
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


// True when no file is left under the name; a link there goes itself, never what it leads to.
bool supprime(const std::string& fichier)
{
    return libmaj::effacepropre(fichier);
}

// A backup found by name is deleted only while it holds what the journal says it held: the run
// that made it may have removed it already, and a file that came under its name since is
// someone else's. False while it cannot be judged (held by another program) or not deleted.
bool supprimesauvegarde(const std::string& fichier, const Empreinte& sauvegarde, bool pendantremplacement)
{
    if (!existe(fichier))
        return true;
    const auto trouve = libmaj::mesure(fichier);
    if (!trouve)
        return false;
    // Before the release was kept no backup had been tidied away, so an empty file under a
    // backup's name is the run's own, cut between its creation and its mark for deletion.
    const bool coupee = pendantremplacement && trouve->taille == 0;
    return !(coupee || *trouve == contenu(sauvegarde)) || supprime(fichier);
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
    libmaj::litfichiertexte(etat, texte, taillemaxetat);
    const auto avant = lectureetat(texte);
    if (avant && avant->edition > j.edition)
        return true;
    normalise(etat);
    return libmaj::ecritdurable(etat, ecritetat({j.edition, std::max(j.cle, avant ? avant->cle : 0)}));
}

// Removes what the journal names beyond the files: the received files, and with `parnom` the
// backups not still needed (`gardees`; a run that made them lets them go through their own
// handles instead, and so never deletes a file it did not make); then the journal itself once
// nothing else it names is left: until it goes, a new run still knows what there is to undo or
// remove. True when the journal went.
bool range(const Journal& j, const std::string& dossier, const std::vector<char>& gardees, bool parnom)
{
    bool reste = false;
    for (std::size_t i = 0; i < j.fichiers.size(); ++i) {
        const EntreeJournal& e = j.fichiers[i];
        // An arrival waits under its partial name, or under a temporary one where that name
        // was taken; a run killed between taking back its deletion mark and its rename
        // leaves it there, and nothing else would ever remove it once the release is gone.
        const std::string cible = chemin(dossier, e.nouveau.nom);
        reste = !libmaj::liberenom(libmaj::nomtemporaire(cible)) || gardees[i] || reste;
        reste = !libmaj::liberenom(libmaj::nompartiel(cible, e.nouveau.sha256)) || reste;
        if (parnom && e.ancien && !gardees[i])
            reste = !supprimesauvegarde(chemin(dossier, e.ancien->nom), *e.ancien,
                                        j.etape == Journal::Etape::remplacement)
                    || reste;
    }
    return !reste && supprime(chemin(dossier, nomjournal));
}

// Puts back the files already replaced (the first `places`), each checked against what it
// held; the backups of the others go, and so do the files that arrived and were not put in
// place. `code` when every file is again as it was; R<n>, with the journal and the backups
// still needed kept, when the n-th could not be put back.
std::string annule(const Journal& j, std::vector<libmaj::Arrivee>& arrivees,
                   std::vector<libmaj::PoigneeFichier>& sauvegardes, std::size_t places, const std::string& dossier,
                   const std::string& code, const std::vector<std::size_t>& rangs)
{
    arrivees.clear();
    std::string inacheve;
    std::vector<char> gardees(j.fichiers.size(), false);
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
            inacheve = numero("R", i, rangs);
            gardees[i] = true;
        }
    }
    for (std::size_t i = places; i < j.fichiers.size(); ++i)
        abandonne(sauvegardes[i], j.fichiers[i].ancien ? chemin(dossier, j.fichiers[i].ancien->nom) : std::string());
    range(j, dossier, gardees, false);
    return inacheve.empty() ? code : inacheve;
}

}  // namespace

void normalise(const std::string& fichier)
{
    const DWORD trouves = GetFileAttributesA(fichier.c_str());
    if (trouves == INVALID_FILE_ATTRIBUTES || (trouves & FILE_ATTRIBUTE_DIRECTORY))
        return;
    const unsigned long voulus = libmaj::attributsremplacables(trouves);
    if (voulus != trouves)
        SetFileAttributesA(fichier.c_str(), voulus == 0 ? FILE_ATTRIBUTE_NORMAL : voulus);
}

std::string installerelease(std::vector<libmaj::Arrivee>& arrivees, const Manifeste& m, const std::string& dossier,
                            const std::vector<std::size_t>& rangs)
{
    // What each file replaces, measured before anything is written, and a free name for its
    // backup: every backup the journal names is then the updater's own.
    Journal j{Journal::Etape::remplacement, m.edition, m.cle, {}};
    if (m.fichiers.empty())
        return enregistre(j, dossier) ? std::string() : std::string("R0");
    for (std::size_t i = 0; i < m.fichiers.size(); ++i) {
        const std::string cible = chemin(dossier, m.fichiers[i].nom);
        j.fichiers.push_back({m.fichiers[i], std::nullopt});
        normalise(cible);
        if (!existe(cible))
            continue;
        // Another listed file's backup may fall on the same name ("A.exe.~1" at rank 0 and
        // "A.exe" at rank 1): a name this install already chose is not free either.
        const auto prise = [&](const std::string& nom) {
            for (const auto& f : j.fichiers)
                if (f.ancien && memefichier(f.ancien->nom, nom))
                    return true;
            return present(chemin(dossier, nom));
        };
        int rang = 0;
        while (rang < rangssauvegarde && prise(nomsauvegardesignee(m.fichiers[i].nom, rang)))
            ++rang;
        const auto ancien = rang < rangssauvegarde ? libmaj::mesure(cible) : std::nullopt;
        if (!ancien)
            return numero("I", i, rangs);
        j.fichiers.back().ancien =
            Empreinte{nomsauvegardesignee(m.fichiers[i].nom, rang), ancien->taille, ancien->sha256};
    }
    const std::string journal = chemin(dossier, nomjournal);
    const std::string texte = ecritjournal(j);
    if (texte.size() > taillemaxjournal || !libmaj::ecritdurable(journal, texte))
        return "I0";

    // The backups stay marked for deletion until all are made, and each must hold what the
    // journal says.
    std::vector<libmaj::PoigneeFichier> sauvegardes(m.fichiers.size());
    for (std::size_t i = 0; i < m.fichiers.size(); ++i) {
        const auto& ancien = j.fichiers[i].ancien;
        if (!ancien)
            continue;
        auto copie = libmaj::copieverifiee(chemin(dossier, m.fichiers[i].nom), chemin(dossier, ancien->nom));
        if (copie)
            sauvegardes[i] = std::move(copie->fichier);
        if (!copie || !(copie->contenu == contenu(*ancien)))
            return annule(j, arrivees, sauvegardes, 0, dossier, numero("I", i, rangs), rangs);
    }
    for (std::size_t i = 0; i < sauvegardes.size(); ++i)
        if (sauvegardes[i] && !libmaj::effacealafermeture(sauvegardes[i].get(), false))
            return annule(j, arrivees, sauvegardes, 0, dossier, numero("I", i, rangs), rangs);

    // A file the release adds never replaces one that came meanwhile.
    for (std::size_t i = 0; i < arrivees.size(); ++i)
        if (!arrivees[i].place(j.fichiers[i].ancien.has_value()))
            return annule(j, arrivees, sauvegardes, i, dossier, numero("I", i, rangs), rangs);

    // The one moment the release is kept: from here on, whatever happens, it is not undone.
    j.etape = Journal::Etape::rangement;
    if (!libmaj::ecritdurable(journal, ecritjournal(j)))
        return annule(j, arrivees, sauvegardes, arrivees.size(), dossier, "I0", rangs);
    for (std::size_t i = 0; i < sauvegardes.size(); ++i)
        abandonne(sauvegardes[i], j.fichiers[i].ancien ? chemin(dossier, j.fichiers[i].ancien->nom) : std::string());
    // A release kept but not recorded could be replayed under an older number: its journal
    // stays until the record holds it, and no other release is taken meanwhile.
    if (!enregistre(j, dossier))
        return "R0";
    range(j, dossier, std::vector<char>(j.fichiers.size(), false), false);
    return {};
}

std::string repriseinstallation(const std::string& dossier)
{
    const std::string journal = chemin(dossier, nomjournal);
    // A record's new text flushed but not yet renamed in when the process ended: the record
    // itself is whole, old or new.
    libmaj::liberenom(libmaj::nomtemporaire(journal));
    libmaj::liberenom(libmaj::nomtemporaire(chemin(dossier, nometat)));
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
        if (existe(cible)) {
            const auto trouve = libmaj::mesure(cible);
            if (!trouve)
                return numero("R", i);   // held by someone: it cannot be judged yet
            c.fichier = Empreinte{e.nouveau.nom, trouve->taille, trouve->sha256};
        } else if (present(cible)) {
            c.fichier = Empreinte{e.nouveau.nom, 0, {}};   // a folder: someone else's, neither old nor new
        }
        if (e.ancien)
            c.sauvegarde = libmaj::mesure(chemin(dossier, e.ancien->nom)) == contenu(*e.ancien);
        constats.push_back(c);
    }
    const Reprise r = decidereprise(*j, constats);
    if (r.garde && !enregistre(*j, dossier))
        return "R0";   // the release stays unrecorded only as long as its journal stays
    std::string inacheve;
    std::vector<char> gardees(j->fichiers.size(), false);
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
        // Nothing can put it back; the next install makes the folder whole again.
        case Geste::impossible: break;
        }
        if (!fait) {
            if (inacheve.empty())
                inacheve = numero("R", i);
            gardees[i] = true;
        }
    }
    if (!range(*j, dossier, gardees, true) && inacheve.empty())
        return "R0";   // something it names could not be removed yet: kept for a later run
    return inacheve;
}

bool etatinscriptible(const std::string& dossier)
{
    const std::string etat = chemin(dossier, nometat);
    // The record is written beside itself, then renamed over the old one: neither name may be
    // a folder, and the old one must let this user delete it (its attributes are cleared first).
    const DWORD temporaire = GetFileAttributesA(libmaj::nomtemporaire(etat).c_str());
    if (temporaire != INVALID_FILE_ATTRIBUTES && (temporaire & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const DWORD attributs = GetFileAttributesA(etat.c_str());
    if (attributs == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributs & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    const libmaj::PoigneeFichier f(CreateFileA(etat.c_str(), DELETE | FILE_WRITE_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    return f.get() != INVALID_HANDLE_VALUE;
}

void nettoiereliquats(const Manifeste& m, const std::string& dossier)
{
    for (const auto& f : m.fichiers) {
        libmaj::liberenom(libmaj::nomtemporaire(chemin(dossier, f.nom)));
        libmaj::liberenom(libmaj::nomtemporaire(nomforme(chemin(dossier, f.nom))));
    }
}

bool placesuffisante(const Manifeste& m, const std::string& dossier, std::uint64_t formemax)
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
    if (formemax)
        nouveaux.push_back(formemax);
    return placenecessaire(nouveaux, remplaces, ecritjournal(j).size(), volume->cluster) <= volume->libre;
}

std::optional<Verrou> verrouilledossier(const std::string& dossier, bool& bloque)
{
    bloque = false;
    const std::string nom = chemin(dossier, nomverrou);
    // The name is the updater's own: a read-only file left there is still its lock to take
    // (never through a link, whose target's attributes would change instead).
    libmaj::otelectureseule(nom);
    // The link itself, never what it leads to, which deleting on close would delete.
    Verrou v(CreateFileA(nom.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                         FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (v.get() != INVALID_HANDLE_VALUE)
        return v;
    if (GetLastError() == ERROR_SHARING_VIOLATION)
        return std::nullopt;
    // A folder under its name: no run could ever hold the folder, and two could install at
    // once. (A lock another user's run left behind that this user may not open is left as
    // before: the run goes on, and its writes say whether it may change the folder.)
    const DWORD apres = GetFileAttributesA(nom.c_str());
    bloque = apres != INVALID_FILE_ATTRIBUTES && (apres & FILE_ATTRIBUTE_DIRECTORY);
    // A folder the updater cannot write to is not another run's: the install then says so.
    return Verrou();
}

}  // namespace tidewell
