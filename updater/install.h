// The install step of a signed release: every file arrived and verified is put in place, or
// none is. A journal names, before the first replace, each file and the backup of the one it
// replaces; every backup stays until every file is in place; a replace that fails puts back
// what was already replaced; and a run that finds a journal left by an interrupted one first
// leaves the folder holding one whole release.
#pragma once

#include "internet.h"
#include "manifest.h"

#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// A signed run holds the folder's lock (nomverrou) from its first step to its end, so that two
// runs never install into one folder, nor one take up the other's journal while it works.
using Verrou = libmaj::PoigneeFichier;
// Nothing when another run holds the folder; an empty lock where none can be made there, with
// `bloque` when that is because something else sits under the lock's name.
std::optional<Verrou> verrouilledossier(const std::string& dossier, bool& bloque);

// Puts the arrived files of the verified manifest `m` (one each, in its order; `m` lists only
// the files that change) into the application folder, then records the release in the state
// file; with no file to change, only records it. Empty when the release is
// installed and recorded; otherwise the reason code: I<n> when the n-th file could not be
// backed up or put in place and every file is again as it was (I0: the journal could not be
// written), R<n> when the n-th could not be put back, and R0 when the release is installed but
// could not be recorded, the journal then kept for the next run.
// The n of I<n> and R<n> is the file's rank in the whole release: `rangs` gives each file's
// (from 0), where `m` lists only some of the release's files.
std::string installerelease(std::vector<libmaj::Arrivee>& arrivees, const Manifeste& m, const std::string& dossier,
                            const std::vector<std::size_t>& rangs = {});

// Takes up an install that a killed process or a power cut interrupted: the release is kept
// (and recorded) once the journal says so or every file already holds its signed bytes, and
// undone otherwise; the journal and everything it names beyond the files themselves are then
// removed. Empty when the folder holds one whole release (or no journal was there); R<n>
// when the n-th file could not be judged or put back, R0 when the journal cannot be read or
// the kept release cannot be recorded, the journal then kept for a later run.
std::string repriseinstallation(const std::string& dossier);

// Read-only, hidden and system come off whatever else is set, so that files copied from a
// read-only medium, or compressed or pinned by the system, are updated too. By name, as the
// listed files and the records are the application's: one of them with a second name (a copy
// tool's, a deployment's) must still be replaceable, which Windows refuses while it is read-only.
void normalise(const std::string& fichier);

// False when the record of the last release (nometat) cannot be replaced: it or its
// temporary name is a folder, or it is a file this user may not delete. A release installed
// there could never be recorded, and each run would install it again.
bool etatinscriptible(const std::string& dossier);

// Removes what earlier runs left under the listed files' temporary names, and under those
// their forms arrive in: a power cut during the downloads leaves them behind, whole or
// partial, and they would otherwise eat the room of every run after it.
void nettoiereliquats(const Manifeste& m, const std::string& dossier);

// True unless the folder's volume is known to lack the room the files of `m` (those that
// change) take at their fullest: every file received beside its destination, a backup of each
// it replaces, and the largest form (`formemax` bytes) waiting beside them to be decoded.
bool placesuffisante(const Manifeste& m, const std::string& dossier, std::uint64_t formemax);

}  // namespace tidewell
