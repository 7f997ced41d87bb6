#include "file_handles.h"
#include "files.h"
#include "internet.h"
#include "signature_check.h"
#include "wait.h"
#include "web_request.h"
#include "web_rules.h"

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace libmaj {

namespace {

constexpr DWORD tailleblocs = 256 * 1024;
constexpr DWORD taillemin = 4 * 1024;
// Small enough that the last flush, which the replace waits for, finds little to write;
// large enough that a slow disk is asked at most a flush per this many bytes.
constexpr unsigned long long pasvidange = 8ull << 20;
// The window's messages are served between reads once this many seconds have passed since
// the last time, not after every read: under Wine each look at the queue is a round trip to
// its server, some 20 us, which at full speed came to up to 5 % of a download. A hundredth
// of a second is still at once to the user, and a read that waits serves the window meanwhile.
constexpr double pasmessages = 0.01;

// Reads ask for what the link brings in a fraction of the progress window: a whole block at
// full speed, a few KiB on a slow link, whose reads then still complete inside the window
// on a platform whose reads complete only once their buffer is full.
DWORD taillesuivante(DWORD taille, double duree)
{
    const double fenetre = delailecture();
    if (duree < fenetre / 16 && taille < tailleblocs)
        return taille * 2;
    if (duree > fenetre / 4 && taille > taillemin)
        return taille / 2;
    return taille;
}

// Reads the body of the opened request into `sortie` from where it stands, at most `limite`
// bytes, handing them to `empreinte` too, and yielding to the window between reads; `recus`
// is what was written. The body must bring at least progresminimal bytes in every
// delailecture(), or it is given up. False when it was given up before its end (too slow,
// longer than `limite`, which `troplong` then says, a write failed); a failed read only marks
// the request's reading so.
bool recoitcorps(Requete& requete, HANDLE sortie, unsigned long long limite, Sha256Parallele* empreinte,
                 bool jusqualimite, unsigned long long& recus, bool& troplong)
{
    recus = 0;
    troplong = false;
    VidangeFond vidange(sortie, pasvidange);
    unsigned long long recusfenetre = 0;
    double fenetre = horlogemonotone();
    double servie = fenetre;
    DWORD taille = 4 * taillemin;
    for (;;) {
        const double debut = horlogemonotone();
        const char* bloc = nullptr;
        DWORD lus = 0;
        bool lu = requete.lit(taille, fenetre + delailecture(), bloc, lus);
        // A window that ends with a read under way is enough if it brought enough before.
        while (!lu && requete.enattente() && recusfenetre >= progresminimal) {
            fenetre += delailecture();
            recusfenetre = 0;
            lu = requete.lit(taille, fenetre + delailecture(), bloc, lus);
        }
        if (!lu) {
            requete.lecture.echeclecture = true;
            return true;
        }
        if (lus == 0)
            return true;
        if (lus > limite - recus) {
            troplong = true;
            return false;   // longer than announced or signed: not the file that was promised
        }
        if (empreinte) {
            std::memcpy(empreinte->tampon(), bloc, lus);
            empreinte->ajoute(lus);
        }
        DWORD ecrits = 0;
        if (!WriteFile(sortie, bloc, lus, &ecrits, nullptr) || ecrits != lus)
            return false;
        vidange.ecrit(lus);
        recus += lus;
        recusfenetre += lus;
        const double fin = horlogemonotone();
        if (fin >= fenetre + delailecture()) {
            if (recusfenetre < progresminimal)
                return false;   // slower than any link the updater waits for
            fenetre = fin;
            recusfenetre = 0;
        }
        taille = taillesuivante(taille, fin - debut);
        if (fin - servie >= pasmessages) {
            cedemessages();
            servie = fin;
        }
        // The signed size and hash decide; a server holding back a body's end holds nothing.
        if (jusqualimite && recus == limite)
            return true;
    }
}

// Sets the open file's end at `taille` bytes and goes there.
bool tronque(HANDLE fichier, unsigned long long taille)
{
    LARGE_INTEGER p{};
    p.QuadPart = static_cast<LONGLONG>(taille);
    return SetFilePointerEx(fichier, p, nullptr, FILE_BEGIN) && SetEndOfFile(fichier);
}

// The partial file of a signed download, opened to this process alone whatever it holds;
// nothing where the name is taken by what is not a plain file of the updater's own (a link
// put there is removed, never followed).
PoigneeFichier ouvrepartiel(const std::string& nom)
{
    for (int essai = 0, occupe = 0; essai < 2; ++essai) {
        otelectureseule(nom);
        PoigneeFichier f(CreateFileA(nom.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        // A scanner that looks at the file the moment the last try closed it lets go soon.
        if (f.get() == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION && ++occupe < 4) {
            attente(0.5f);
            --essai;
            continue;
        }
        if (f.get() == INVALID_HANDLE_VALUE)
            return nullptr;
        if (fichierpropre(f.get()))
            return f;
        if (!effacealafermeture(f.get(), true))
            return nullptr;
    }
    return nullptr;
}

// How one try at a signed file ended.
enum class Essai {
    arrive,       // whole and as signed
    coupe,        // cut, or to start over: another try may bring it
    sansplage,    // the answer to a request for the rest was not the rest: the next try asks for all
    sansreponse,  // no answer from the address
    echoue,       // an answer that cannot bring it (an error, not the signed bytes), or a local failure
};

// One try at a signed file, taking up what `partiel` already holds of it unless `plage` is
// false. The bytes kept are let go only once an answer that brings the whole file has come.
Essai essaisigne(const std::string& adresse, HANDLE partiel, const Attendu& attendu, bool plage, Transfert& t)
{
    if (!testconnexion(0))
        return Essai::sansreponse;
    // What the partial holds is hashed again, read back as it stands on the disk; one longer
    // than the file is none of it.
    LARGE_INTEGER taille{};
    std::optional<Sha256Parallele> empreinte;
    if (!GetFileSizeEx(partiel, &taille) || !empreinte.emplace(tailleblocs).valide())
        return Essai::echoue;
    unsigned long long debut = static_cast<unsigned long long>(taille.QuadPart);
    if (debut > attendu.taille) {
        if (!tronque(partiel, 0))
            return Essai::echoue;
        debut = 0;
    }
    if (!SetFilePointerEx(partiel, LARGE_INTEGER{}, nullptr, FILE_BEGIN))
        return Essai::echoue;
    for (unsigned long long lu = 0; lu < debut;) {
        DWORD lus = 0;
        if (!ReadFile(partiel, empreinte->tampon(), tailleblocs, &lus, nullptr) || lus == 0)
            return Essai::echoue;
        empreinte->ajoute(lus);
        lu += lus;
        cedemessages();
    }
    if (debut == attendu.taille) {
        if (empreinte->fin() == attendu.sha256)
            return Essai::arrive;   // a whole file an earlier run received
        plage = false;              // all of it, but not as signed
    }
    DeleteUrlCacheEntryA(adresse.c_str());
    PoigneeInternet session = sessionasynchrone();
    if (!session)
        return Essai::echoue;
    Requete requete(session.get());
    const unsigned long long demande = plage ? debut : 0;
    if (!requete.ouvre(adresse, horlogemonotone() + delaireponse(), demande))
        return Essai::sansreponse;
    if (demande) {
        const Suite suite = suitereprise(requete.lecture, demande, attendu.taille);
        // A whole file in answer lets the kept bytes go only when its length says it is the
        // file: a page without one may be anything, and is asked for again as the whole file.
        if (suite == Suite::abandonne || (suite == Suite::recommence && !requete.lecture.longueurannoncee))
            return Essai::sansplage;
        if (suite == Suite::ajoute && !corpssignecomplet(requete.lecture, attendu.taille - debut, attendu.taille - debut))
            return Essai::sansplage;
    }
    const bool reprise = demande && requete.lecture.statuthttp == 206;
    // The headers alone decide here: a length that is announced can only be the rest's (the
    // whole file's, for a body from the first byte), and the signed size and hash prove a
    // body sent without one.
    if (!reprise) {
        if (!corpssignecomplet(requete.lecture, attendu.taille, attendu.taille))
            return Essai::echoue;
        debut = 0;
        if (!tronque(partiel, 0) || !empreinte.emplace(tailleblocs).valide())
            return Essai::echoue;
    }
    const unsigned long long reste = attendu.taille - debut;
    t.reprise = debut;
    unsigned long long recus = 0;
    bool troplong = false;
    const bool lu = recoitcorps(requete, partiel, reste, &*empreinte, true, recus, troplong);
    t.recus += recus;
    // A range answer whose headers were right and whose body is not the rest (longer than
    // it, or nothing at all) would be asked again and again, run after run: the next try
    // asks for the whole file instead.
    const Essai horsreprise = reprise ? Essai::sansplage : Essai::echoue;
    if (troplong) {
        // Another file's bytes, not a cut: only what was kept before them stays.
        tronque(partiel, debut);
        return horsreprise;
    }
    if (!libmaj::vidange(partiel))
        return Essai::echoue;
    if (!lu || !corpssignecomplet(requete.lecture, recus, reste))
        return recus ? Essai::coupe : horsreprise;
    if (empreinte->fin() == attendu.sha256)
        return Essai::arrive;
    // Not the signed bytes: what was kept may have been another file's, so the next try
    // starts from the first byte; a file that came whole and wrong is wrong on this address.
    tronque(partiel, 0);
    return debut ? Essai::coupe : Essai::echoue;
}

}  // namespace

// Receives the body into a new temporary file beside the destination, yielding to the window
// between reads; the arrival holds the file, flushed and still open, when it arrived whole
// and of exactly its announced length. The file is created only once the headers promise a
// plain body of a length it may have, and stays marked for deletion: a failure, a time-out or
// a killed process leaves nothing under its name. The answer comes within delaireponse().
Arrivee recoitfichier(const std::string& adresse, const std::string& destination)
{
    Arrivee arrivee;
    if (!testconnexion(0))
        return arrivee;
    DeleteUrlCacheEntryA(adresse.c_str());
    PoigneeInternet session = sessionasynchrone();
    if (!session)
        return arrivee;
    Requete requete(session.get());
    if (!requete.ouvre(adresse, horlogemonotone() + delaireponse()))
        return arrivee;
    // Without an announced length the end of the body could not be told from a cut.
    const auto& annoncee = requete.lecture.longueurannoncee;
    if (!annoncee || !corpscomplet(requete.lecture, *annoncee))
        return arrivee;
    // The temporary name is the updater's own: what an earlier run left there goes.
    const std::string temporaire = nomtemporaire(destination);
    PoigneeFichier sortie = creeneuf(temporaire, true);
    if (!sortie)
        return arrivee;
    unsigned long long recus = 0;
    bool troplong = false;
    if (!recoitcorps(requete, sortie.get(), *annoncee, nullptr, false, recus, troplong)
        || !corpscomplet(requete.lecture, recus)
        || !libmaj::vidange(sortie.get()))
        return arrivee;
    arrivee.fichier_ = std::move(sortie);
    arrivee.temporaire_ = temporaire;
    arrivee.destination_ = destination;
    return arrivee;
}

// A signed file is received into its partial file, which a cut leaves in place: the next try,
// in this run after a pause or in the next run, asks only for the rest. Once it has arrived
// whole and as signed it is marked for deletion like any arrival: one never put in place
// leaves nothing behind.
Arrivee telechargeverifie(const std::string& adresse, const std::string& destination, const Attendu& attendu,
                          Transfert* transfert)
{
    Arrivee arrivee;
    Transfert local;
    Transfert& t = transfert ? *transfert : local;
    std::string nom = nompartiel(destination, attendu.sha256);
    PoigneeFichier partiel = ouvrepartiel(nom);
    if (!partiel) {
        // Something that is not the updater's own holds the partial's name (a folder, a
        // read-only second name of a file elsewhere): it is left as it is, and the file comes
        // into a temporary of its own, taken up within this run only.
        nom = nomtemporaire(destination);
        partiel = creeneuf(nom, true);
        if (!partiel)
            return arrivee;
    }
    bool plage = true;
    for (int essai = 1;; ++essai) {
        const Essai e = essaisigne(adresse, partiel.get(), attendu, plage, t);
        if (e == Essai::arrive && effacealafermeture(partiel.get(), true)) {
            arrivee.fichier_ = std::move(partiel);
            arrivee.temporaire_ = nom;
            arrivee.destination_ = destination;
            return arrivee;
        }
        t.injoignable = e == Essai::sansreponse;
        // A server that cannot send the rest is asked for the whole file.
        plage = e != Essai::sansplage;
        if ((e != Essai::coupe && e != Essai::sansplage) || essai == essaisignes)
            break;
        attente(static_cast<float>(essai));   // 1 s, then 2 s: a link that dropped may come back
    }
    // Nothing kept leaves no name behind.
    LARGE_INTEGER taille{};
    if (GetFileSizeEx(partiel.get(), &taille) && taille.QuadPart == 0)
        effacealafermeture(partiel.get(), true);
    return arrivee;
}
Arrivee reprendentier(const std::string& destination, const Attendu& attendu)
{
    Arrivee arrivee;
    const std::string nom = nompartiel(destination, attendu.sha256);
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExA(nom.c_str(), GetFileExInfoStandard, &a) || (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || ((static_cast<unsigned long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow) != attendu.taille)
        return arrivee;
    PoigneeFichier partiel = ouvrepartiel(nom);
    if (!partiel)
        return arrivee;
    const auto trouve = mesure(partiel.get());
    if (!trouve || !(*trouve == attendu) || !effacealafermeture(partiel.get(), true)) {
        // Gone between the look and the opening, which made it anew: nothing is left behind.
        LARGE_INTEGER taille{};
        if (GetFileSizeEx(partiel.get(), &taille) && taille.QuadPart == 0)
            effacealafermeture(partiel.get(), true);
        return arrivee;
    }
    arrivee.fichier_ = std::move(partiel);
    arrivee.temporaire_ = nom;
    arrivee.destination_ = destination;
    return arrivee;
}

void abandonnepartiel(const std::string& destination, const std::string& sha256)
{
    const std::string nom = nompartiel(destination, sha256);
    if (GetFileAttributesA(nom.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    PoigneeFichier partiel = ouvrepartiel(nom);
    if (partiel)
        effacealafermeture(partiel.get(), true);
}

void Arrivee::garde()
{
    if (fichier_ && nompartielde(temporaire_))
        effacealafermeture(fichier_.get(), false);
}

bool Arrivee::placesous(const std::string& nom)
{
    destination_ = nom;
    return fichier_ && vidange(fichier_.get()) && place(renomme, true);
}

bool Arrivee::place(bool remplace)
{
    return place(renomme, remplace);
}

// The deletion mark is taken back just before the rename: a process killed between the two
// leaves the whole new file under its partial or temporary name, which the next run removes
// when it tidies what the install's journal names (or an unsigned run's next download of that
// name, before anything else).
bool Arrivee::place(Renommage renommage, bool remplace)
{
    if (!fichier_)
        return false;
    const bool place = effacealafermeture(fichier_.get(), false) && renommage(fichier_.get(), destination_, remplace);
    if (!place && !effacealafermeture(fichier_.get(), true)) {
        fichier_.reset();
        DeleteFileA(temporaire_.c_str());
    }
    fichier_.reset();
    return place;
}

// The destination holds the whole old file or the whole new one at every moment; the
// backup keeps the old file until the new one is in place. What an interrupted run left
// under the backup's name is only ever overwritten or deleted, never put back.
std::int16_t Arrivee::remplace(Renommage renommage)
{
    if (!fichier_)
        return 0;
    std::string cible = destination_;
    std::string sauvegarde = nomsauvegarde(destination_);
    bool sauvee = false;
    if (testfichier(cible, 0)) {
        std::string source = cible;
        sauvee = copiefichier(source, sauvegarde, 0, 0) == 1;
    }
    const bool remplace = place(renommage, true);
    if (!remplace) {
        std::string verifie = cible;
        if (sauvee && !testfichier(verifie, 0)) {
            std::string source = sauvegarde;
            copiefichier(source, cible, 0, 0);
        }
    }
    supprimefichier(sauvegarde);
    if (!remplace)
        return 0;
    std::string verifie = cible;
    return testfichier(verifie, 0);
}

std::int16_t telechargefichier(const std::string& adresse, const std::string& destination)
{
    return recoitfichier(adresse, destination).remplace();
}

}  // namespace libmaj
