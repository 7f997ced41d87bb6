// The install step of a signed release as a transaction: the journal that names, before the
// first file is replaced, every file of the release and the backup of the one it replaces;
// what a run that finds such a journal does to leave one whole release; and the room a
// release needs. No platform call here.
#pragma once

#include "manifest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// A journal never holds more than this (50 entries of long names): a larger file is not one.
inline constexpr std::size_t taillemaxjournal = 64 * 1024;

// Where a signed install keeps the file it replaces: the whole name and ".sav", so that two
// listed files never share a backup and a user's own "<stem>.sav" is never touched; where a
// file is already there under that name, the next of "<name>.~1.sav" to "<name>.~9.sav". No
// listed name ends in ".sav", so no backup is ever a listed file.
constexpr int rangssauvegarde = 10;
std::string nomsauvegardesignee(const std::string& nom, int rang = 0);

struct EntreeJournal {
    Empreinte nouveau;                 // the listed file as signed
    std::optional<Empreinte> ancien;   // what it replaces (named as the backup), if anything
};

struct Journal {
    // Written once before the first backup is made, and again once every file is in place
    // and the release recorded: from then on the release is kept, whatever happens.
    enum class Etape { remplacement, rangement };
    Etape etape = Etape::remplacement;
    std::uint64_t edition = 0;   // recorded as installed when the release is kept
    int cle = 0;
    std::vector<EntreeJournal> fichiers;
};

// CR LF lines: "Format=1", "Etape=remplacement" or "Etape=rangement", "Edition=", "Cle=",
// then per file "Fichier=<name>;<size>;<sha256>" followed, when it replaces a file, by
// "Sauvegarde=<name>.sav;<size>;<sha256>" of the old one.
std::string ecritjournal(const Journal& j);
// Nothing for a text that is not exactly what ecritjournal writes for at least one file, with
// names a signed release may hold, each once: a journal can only ever point at a release's
// own files and backups.
std::optional<Journal> lecturejournal(const std::string& texte);

// What a run that finds a journal sees of one of its files: what the file holds (nothing
// when there is no file under its name; the name in it is not looked at), and whether the
// backup is there holding exactly the old file.
struct Constat {
    std::optional<Empreinte> fichier;
    bool sauvegarde = false;
};

// What is done to one file to leave the old release. Only what the install did is undone:
// a file that holds neither the old nor the new bytes was changed by someone else and stays.
enum class Geste {
    rien,              // it holds the old file already, or someone else's
    remetsauvegarde,   // the backup is renamed over it (or into its place, where it went)
    supprime,          // the release created it: it goes
    impossible,        // it holds the new file and no whole backup is left
};

// The release an interrupted install is finished with. Kept (the new one) once the journal
// says so, or when every file already holds its signed bytes: the install had only its
// recording and tidying left. Otherwise undone, since the files not yet in place went with
// the process that held them open.
struct Reprise {
    bool garde = false;
    std::vector<Geste> gestes;   // one per file, when undone
};
Reprise decidereprise(const Journal& j, const std::vector<Constat>& constats);

// The bytes a signed install takes on the volume at its fullest: every new file beside its
// destination and a backup of every file replaced, each rounded up to whole clusters, the
// journal (`journal` bytes) beside its next text, and the state record beside its next one.
std::uint64_t placenecessaire(const std::vector<std::uint64_t>& nouveaux,
                              const std::vector<std::uint64_t>& remplaces, std::uint64_t journal,
                              std::uint64_t cluster);

}  // namespace tidewell
