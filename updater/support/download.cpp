#include "files.h"
#include "internet.h"
#include "signature_check.h"
#include "wait.h"
#include "web_request.h"
#include "web_rules.h"

#include <memory>
#include <optional>
#include <vector>

namespace libmaj {

namespace {

constexpr DWORD tailleblocs = 256 * 1024;

// Marks the file to be deleted when its last handle closes, or takes the mark back.
bool effacealafermeture(HANDLE fichier, bool efface)
{
    FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(efface)};
    return SetFileInformationByHandle(fichier, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Receives the body into `fichier`, a block at a time, yielding to the window between
// blocks; returns the file, flushed and still open, when it arrived whole (and, with
// `attendu`, of that size and hash). The file is created only once the headers promise a
// plain body of a known length, and stays marked for deletion: a failure, a time-out or a
// killed process leaves nothing under its name until the mark is taken back.
PoigneeFichier recoit(const std::string& adresse, const std::string& fichier, const Attendu* attendu)
{
    PoigneeInternet session = sessionasynchrone();
    if (!session)
        return nullptr;
    Requete requete(session.get());
    if (!requete.ouvre(adresse, INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD))
        return nullptr;
    Lecture& lecture = requete.lecture;
    // The headers alone decide here: a body of exactly the announced length would be whole,
    // and a signed file can only be its signed size.
    if (!lecture.longueurannoncee || !corpscomplet(lecture, *lecture.longueurannoncee)
        || (attendu && *lecture.longueurannoncee != attendu->taille))
        return nullptr;
    const unsigned long long annoncee = *lecture.longueurannoncee;
    PoigneeFichier sortie(CreateFileA(fichier.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (sortie.get() == INVALID_HANDLE_VALUE)
        return nullptr;
    if (!effacealafermeture(sortie.get(), true))
        return nullptr;
    std::optional<Sha256Parallele> empreinte;
    if (attendu && !empreinte.emplace(tailleblocs).valide())
        return nullptr;
    std::vector<char> tampon(empreinte ? 0 : tailleblocs);
    unsigned long long recus = 0;
    for (;;) {
        char* bloc = empreinte ? empreinte->tampon() : tampon.data();
        DWORD lus = 0;
        const bool lu = requete.lit(bloc, tailleblocs, lus);
        if (empreinte)
            empreinte->ajoute(lu ? lus : 0);
        if (!lu) {
            lecture.echeclecture = true;
            break;
        }
        if (lus == 0)
            break;
        if (lus > annoncee - recus)
            return nullptr;   // longer than announced: not the file that was promised
        DWORD ecrits = 0;
        if (!WriteFile(sortie.get(), bloc, lus, &ecrits, nullptr) || ecrits != lus)
            return nullptr;
        recus += lus;
        cedemessages();
    }
    if (!corpscomplet(lecture, recus) || !FlushFileBuffers(sortie.get()))
        return nullptr;
    if (empreinte && empreinte->fin() != attendu->sha256)
        return nullptr;
    return sortie;
}

// Puts the received file in the destination's place by one rename, so the destination holds
// the whole old file or the whole new one at every moment; the backup keeps the old file
// until the new one is in place. What an interrupted run left under either name is only
// ever overwritten or deleted, never put back.
std::int16_t remplace(const std::string& temporaire, const std::string& destination)
{
    std::string cible = destination;
    std::string sauvegarde = nomsauvegarde(destination);
    bool sauvee = false;
    if (testfichier(cible, 0)) {
        std::string source = cible;
        sauvee = copiefichier(source, sauvegarde, 0, 0) == 1;
    }
    const bool remplace = MoveFileExA(temporaire.c_str(), cible.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!remplace) {
        DeleteFileA(temporaire.c_str());
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

// Takes the deletion mark back and closes the file: from here it stays.
bool garde(PoigneeFichier& fichier)
{
    const bool garde = effacealafermeture(fichier.get(), false);
    fichier.reset();
    return garde;
}

}  // namespace

void FermeFichier::operator()(HANDLE h) const
{
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

std::int16_t telechargefichier(const std::string& adresse, const std::string& destination)
{
    if (!testconnexion(0))
        return 0;
    const std::string temporaire = nomtemporaire(destination);
    DeleteUrlCacheEntryA(adresse.c_str());
    PoigneeFichier recu = recoit(adresse, temporaire, nullptr);
    if (!recu || !garde(recu)) {
        DeleteFileA(temporaire.c_str());
        return 0;
    }
    return remplace(temporaire, destination);
}

Arrivee telechargeverifie(const std::string& adresse, const std::string& destination, const Attendu& attendu)
{
    Arrivee arrivee;
    if (!testconnexion(0))
        return arrivee;
    arrivee.temporaire_ = nomtemporaire(destination);
    arrivee.destination_ = destination;
    DeleteUrlCacheEntryA(adresse.c_str());
    arrivee.fichier_ = recoit(adresse, arrivee.temporaire_, &attendu);
    return arrivee;
}

std::int16_t Arrivee::installe()
{
    if (!fichier_ || !garde(fichier_)) {
        DeleteFileA(temporaire_.c_str());
        return 0;
    }
    return remplace(temporaire_, destination_);
}

}  // namespace libmaj
