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

}  // namespace

// Receives the body into a new temporary file beside the destination, yielding to the window
// between reads; the arrival holds the file, flushed and still open, when it arrived whole
// (and, with `attendu`, of that size and hash). The file is created only once the headers
// promise a plain body of a length it may have, and stays marked for deletion: a failure, a
// time-out or a killed process leaves nothing under its name. The answer comes within
// delaireponse() and the body then brings at least progresminimal bytes in every
// delailecture(), or it is given up.
Arrivee recoitfichier(const std::string& adresse, const std::string& destination, const Attendu* attendu)
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
    Lecture& lecture = requete.lecture;
    // The headers alone decide here. Unsigned, a body of exactly the announced length would
    // be whole, and without one its end could not be told from a cut. Signed, a length that
    // is announced can only be the signed size, and the signed size and hash prove a body
    // sent without one.
    const auto& annoncee = lecture.longueurannoncee;
    if (attendu ? !corpssignecomplet(lecture, attendu->taille, attendu->taille)
                : !annoncee || !corpscomplet(lecture, *annoncee))
        return arrivee;
    const unsigned long long limite = attendu ? attendu->taille : *annoncee;
    // The temporary name is the updater's own: what an earlier run left there goes.
    const std::string temporaire = nomtemporaire(destination);
    PoigneeFichier sortie = creeneuf(temporaire, true);
    if (!sortie)
        return arrivee;
    VidangeFond vidange(sortie.get(), pasvidange);
    std::optional<Sha256Parallele> empreinte;
    if (attendu && !empreinte.emplace(tailleblocs).valide())
        return arrivee;
    unsigned long long recus = 0, recusfenetre = 0;
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
            lecture.echeclecture = true;
            break;
        }
        if (lus == 0)
            break;
        if (lus > limite - recus)
            return arrivee;   // longer than announced or signed: not the file that was promised
        if (empreinte) {
            std::memcpy(empreinte->tampon(), bloc, lus);
            empreinte->ajoute(lus);
        }
        DWORD ecrits = 0;
        if (!WriteFile(sortie.get(), bloc, lus, &ecrits, nullptr) || ecrits != lus)
            return arrivee;
        vidange.ecrit(lus);
        recus += lus;
        recusfenetre += lus;
        const double fin = horlogemonotone();
        if (fin >= fenetre + delailecture()) {
            if (recusfenetre < progresminimal)
                return arrivee;   // slower than any link the updater waits for
            fenetre = fin;
            recusfenetre = 0;
        }
        taille = taillesuivante(taille, fin - debut);
        if (fin - servie >= pasmessages) {
            cedemessages();
            servie = fin;
        }
        // The signed size and hash decide; a server holding back a body's end holds nothing.
        if (attendu && recus == limite)
            break;
    }
    const bool complet = attendu ? corpssignecomplet(lecture, recus, attendu->taille) : corpscomplet(lecture, recus);
    if (!complet || !libmaj::vidange(sortie.get()))
        return arrivee;
    if (empreinte && empreinte->fin() != attendu->sha256)
        return arrivee;
    arrivee.fichier_ = std::move(sortie);
    arrivee.temporaire_ = temporaire;
    arrivee.destination_ = destination;
    return arrivee;
}

bool Arrivee::place(bool remplace)
{
    return place(renomme, remplace);
}

// The deletion mark is taken back just before the rename: a process killed between the two
// leaves the whole new file under its temporary name, which the next download of that name
// removes before anything else.
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
    return recoitfichier(adresse, destination, nullptr).remplace();
}

Arrivee telechargeverifie(const std::string& adresse, const std::string& destination, const Attendu& attendu)
{
    return recoitfichier(adresse, destination, &attendu);
}

}  // namespace libmaj
