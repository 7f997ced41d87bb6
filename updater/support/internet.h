// The updater's only contact with the network: the connection test, Internet sessions,
// page fetches into a string and downloads into a file.
#pragma once

#include "file_handles.h"
#include "internet_handle.h"
#include "web_rules.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>

namespace libmaj {

// 1 when the machine is connected, asking the platform three times half a second apart;
// with messages (flag 1) the user may choose to go on without a connection (1) or not (0).
std::int16_t testconnexion(std::int16_t messages);

// An Internet session with the agent "OPEN_INTERNET", direct, once the machine is found
// connected; none otherwise.
PoigneeInternet ouvreinternet(const std::string& titre, std::int16_t messages);

// Fetches the address into `page`. Returns 1 when the page was read whole, 2 when it is
// missing (not opened, an error status, not whole within delaipage(), longer than `taillemax`,
// or holding a missing-page marker), 0 when there is no Internet access. `site` names the
// site in the page message only.
// A page sent without a length (in chunks, or ended by the connection's close) cannot be told
// from one cut short, so it is missing, unless the caller checks it against what was signed
// (`signee`).
// With `absente`, whether the server said the page is not there (see pageabsente).
std::int16_t lecturepage(const std::string& titre, std::int16_t messages, const std::string& adresse,
                         const std::string& site, std::string& page, std::size_t taillemax = taillemaxpage,
                         bool signee = false, bool* absente = nullptr);

// Downloads the address into the destination file: 1 when the destination now holds the
// whole new file, 0 when it still holds what it held before (or nothing, if it held nothing).
std::int16_t telechargefichier(const std::string& adresse, const std::string& destination);

// What the tries of one signed download did, for the run log.
struct Transfert {
    bool injoignable = false;          // the last try had no answer from the address at all
    unsigned long long reprise = 0;    // the byte the last try's body began at (0: the first)
    unsigned long long recus = 0;      // body bytes received over every try
};

// A download that arrived whole (and, for a signed file, as signed), waiting in its temporary
// file beside its destination, open to this process alone; the application folder is
// unchanged until it is put in place, and one never put in place leaves nothing behind.
class Arrivee {
public:
    explicit operator bool() const { return static_cast<bool>(fichier_); }
    const std::string& destination() const { return destination_; }
    // The file as it arrived, for a decoder to read from its start.
    HANDLE fichier() const { return fichier_.get(); }

    // Puts the file under its destination's name through its own handle, replacing what is
    // there unless `remplace` is false; true when it is there. Otherwise the file goes, and
    // the destination is as it was.
    bool place(bool remplace = true);

    // As an unsigned run puts each file in place: a backup of the old file under
    // nomsauvegarde, the replace, the backup removed; 1 when the destination now holds the
    // new file, 0 when it holds the old one. `renommage` is the rename of `place`, given
    // otherwise only to see what the routine does when the platform's rename fails.
    using Renommage = bool (*)(HANDLE fichier, const std::string& destination, bool remplace);
    std::int16_t remplace(Renommage renommage = renomme);

private:
    friend Arrivee recoitfichier(const std::string&, const std::string&);
    friend Arrivee telechargeverifie(const std::string&, const std::string&, const Attendu&, Transfert*);
    friend Arrivee decodeverifie(const Arrivee&, const std::string&, const Attendu&, const struct Decodage&);
    friend Arrivee reprendentier(const std::string&, const Attendu&);
public:
    // Keeps an arrival of telechargeverifie under its partial name when the run ends without
    // putting it in place, for the next run to take without fetching it again.
    void garde();
    // Puts the file, flushed to the disk, under `nom` instead of its destination (replacing
    // what is there) and lets go of it; true when it is there. Otherwise the file goes.
    bool placesous(const std::string& nom);

private:
    bool place(Renommage renommage, bool remplace);
    PoigneeFichier fichier_;
    std::string temporaire_;
    std::string destination_;
};

// At most this many tries at a signed file on one address in a run, a later one only after
// one that was cut, found the bytes it took up were not the file's, or was not answered with
// the rest it asked for (the next then asks for the whole file).
constexpr int essaisignes = 3;

// Downloads the address beside the destination, hashing it as it streams in; a body that is
// not the expected size (announced or arriving longer) is given up at once. What a cut try
// brought is kept under nompartiel() and taken up by the next, with a request for the rest
// (see suitereprise).
Arrivee telechargeverifie(const std::string& adresse, const std::string& destination, const Attendu& attendu,
                          Transfert* transfert = nullptr);

// The signed file an earlier run brought whole (downloaded, or decoded from a form) and kept
// under nompartiel() when a later file failed it, taken without any request; an empty arrival
// when none is kept whole and as signed, and what is kept is then left to telechargeverifie.
Arrivee reprendentier(const std::string& destination, const Attendu& attendu);

// Lets go of the bytes kept of a signed download cut short under nompartiel(), so that they
// take no room while another way brings the file.
void abandonnepartiel(const std::string& destination, const std::string& sha256);

}  // namespace libmaj
