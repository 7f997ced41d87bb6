// File operations made through an open handle, so that between two steps no other process
// can change, swap or delete the file: downloads arrive in them, a signed install keeps its
// backups and records in them, and each is put under its final name by renaming that handle.
#pragma once

#include "handles.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace libmaj {

// A file's size in bytes and its SHA-256 (64 lower-case hexadecimal digits).
struct Attendu {
    unsigned long long taille = 0;
    std::string sha256;
    bool operator==(const Attendu& autre) const { return taille == autre.taille && sha256 == autre.sha256; }
};

// Creates the file anew, open to this process alone and marked to be deleted when it is
// closed: a failure or a killed process leaves nothing under its name, but for an empty file
// when the kill lands between the creation and the mark. With `ecraselaisse`
// what is already there is removed first (a name only the updater uses: what an earlier run
// left); otherwise an existing file is never touched and the creation fails.
PoigneeFichier creeneuf(const std::string& chemin, bool ecraselaisse);

// The platform's flush (FlushFileBuffers), through which every flush of the updater goes: a
// file must be on the disk before it takes its final name, which no run can see from outside,
// so the tests count the flushes here.
extern BOOL(WINAPI* vidange)(HANDLE fichier);

// True when the open file is a plain file under its one name: no folder, no link, and no
// second name of a file elsewhere. `attributs`, when given, then holds its attributes. The
// updater's own files (its log, its partial downloads) are written only when they are.
bool fichierpropre(HANDLE fichier, DWORD* attributs = nullptr);

// A directory search, closed with FindClose.
struct FermeRecherche {
    void operator()(HANDLE h) const { FindClose(h); }
};
using Recherche = std::unique_ptr<void, FermeRecherche>;

// Sets the attributes of the file under `chemin` to what `regle` makes of them, only where it
// is a plain file under its one name: never through a link or a second name of a file
// elsewhere, whose attributes would change instead.
void regleattributs(const std::string& chemin, unsigned long (*regle)(unsigned long));

// Clears the read-only attribute of a file of the updater's own (a lock or a log a copy left
// read-only), as regleattributs does.
void otelectureseule(const std::string& chemin);

// Deletes the file under `chemin`, read-only cleared as otelectureseule does; a link is
// removed itself, never what it leads to. True when no file is left under the name (a folder
// there is none).
bool effacepropre(const std::string& chemin);

// Frees a name of the updater's own (a temporary): deleted as effacepropre does, and a file
// that cannot go that way (a read-only second name of a file elsewhere) moved aside whole
// under "<name>.<n>.~ecarte", nothing in it changed. A folder is left where it is. True when
// no file is left under the name (a folder there is none).
bool liberenom(const std::string& chemin);

// Marks the open file to be deleted when closed, or takes the mark back.
bool effacealafermeture(HANDLE fichier, bool efface);

// Renames the open file to `destination` in one step, replacing what is there unless
// `remplace` is false; the handle stays open on the renamed file. Fails where another process
// has the destination open.
bool renomme(HANDLE fichier, const std::string& destination, bool remplace = true);

// What the file holds; nothing when there is no file or it cannot be read whole (only a
// program that holds it without sharing it prevents that).
std::optional<Attendu> mesure(const std::string& chemin);
// What the open file holds from where it is read next (its start, when just opened).
std::optional<Attendu> mesure(HANDLE fichier);

// A copy of `source` made into a new file `copie` (created as by creeneuf, never over an
// existing file), flushed to the disk, still open and still marked to be deleted; with what
// it holds, measured as it was written.
struct Copie {
    PoigneeFichier fichier;
    Attendu contenu;
};
std::optional<Copie> copieverifiee(const std::string& source, const std::string& copie);

// Sends what is written to an open file to the disk while more is written, one flush for
// every `pas` bytes, so that the flush that must come before the file may replace another
// finds little left. Flushes run on the process's thread pool, whose threads the platform's
// Internet functions already keep: a thread of its own would cost a megabyte under Wine. A
// flush asked for while one is under way is left to that one. The file stays the caller's
// and must outlive this object; where nothing can be queued, the final flush does it all.
// Measured under Wine, 200 MiB at full speed: flushes every 2 to 8 MiB hide behind the
// network, where one flush of the whole file at its end added a tenth of the download.
class VidangeFond {
public:
    VidangeFond(HANDLE fichier, unsigned long long pas);
    // Waits for a flush under way, serving the thread's window meanwhile.
    ~VidangeFond();
    VidangeFond(const VidangeFond&) = delete;
    VidangeFond& operator=(const VidangeFond&) = delete;
    // Counts `octets` more written; returns at once.
    void ecrit(unsigned long long octets);

private:
    static DWORD WINAPI vide(void* moi);

    HANDLE fichier_;
    unsigned long long pas_, depuis_ = 0;
    Poignee libre_;   // signalled while no flush is under way
};

// Writes the text as the whole file: into a new file beside it, flushed, then renamed over
// it, so that the file holds its old text or the new one, never a part, even after a power cut.
bool ecritdurable(const std::string& chemin, const std::string& texte);

// The bytes this user may still write on the folder's volume, and the volume's cluster size
// (0 when unknown); nothing when the platform cannot tell.
struct Volume {
    unsigned long long libre = 0;
    unsigned long long cluster = 0;
};
std::optional<Volume> volumede(const std::string& dossier);

}  // namespace libmaj
