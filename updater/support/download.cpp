#include "files.h"
#include "internet.h"
#include "wait.h"
#include "web_request.h"
#include "web_rules.h"

#include <memory>
#include <vector>

namespace libmaj {

namespace {

struct FermeHandle {
    void operator()(HANDLE h) const
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};
using Handle = std::unique_ptr<void, FermeHandle>;

constexpr DWORD tailleblocs = 256 * 1024;

// Marks the file to be deleted when its last handle closes, or takes the mark back.
bool effacealafermeture(HANDLE fichier, bool efface)
{
    FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(efface)};
    return SetFileInformationByHandle(fichier, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Receives the body into `fichier`, a block at a time, yielding to the window between
// blocks; true when it arrived whole. The file is created only once the headers promise a
// plain body of a known length, and stays marked for deletion until that whole body is in:
// a failure, a time-out or a killed process leaves nothing under its name.
bool recoit(const std::string& adresse, const std::string& fichier)
{
    PoigneeInternet session = sessionasynchrone();
    if (!session)
        return false;
    Requete requete(session.get());
    if (!requete.ouvre(adresse, INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD))
        return false;
    Lecture& lecture = requete.lecture;
    // The headers alone decide here: a body of exactly the announced length would be whole.
    if (!lecture.longueurannoncee || !corpscomplet(lecture, *lecture.longueurannoncee))
        return false;
    const unsigned long long annoncee = *lecture.longueurannoncee;
    Handle sortie(CreateFileA(fichier.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (sortie.get() == INVALID_HANDLE_VALUE)
        return false;
    if (!effacealafermeture(sortie.get(), true))
        return false;
    std::vector<char> tampon(tailleblocs);
    unsigned long long recus = 0;
    for (;;) {
        DWORD lus = 0;
        if (!requete.lit(tampon.data(), tailleblocs, lus)) {
            lecture.echeclecture = true;
            break;
        }
        if (lus == 0)
            break;
        if (lus > annoncee - recus)
            return false;   // longer than announced: not the file that was promised
        DWORD ecrits = 0;
        if (!WriteFile(sortie.get(), tampon.data(), lus, &ecrits, nullptr) || ecrits != lus)
            return false;
        recus += lus;
        cedemessages();
    }
    return corpscomplet(lecture, recus) && FlushFileBuffers(sortie.get()) && effacealafermeture(sortie.get(), false);
}

}  // namespace

std::int16_t telechargefichier(const std::string& adresse, const std::string& destination)
{
    if (!testconnexion(0))
        return 0;
    // The new file is received beside the destination and replaces it in one rename, so the
    // destination holds the whole old file or the whole new one at every moment; the backup
    // keeps the old file until the new one is in place. What an interrupted run left under
    // either name is only ever overwritten or deleted, never put back.
    std::string cible = destination;
    std::string sauvegarde = nomsauvegarde(destination);
    const std::string temporaire = nomtemporaire(destination);
    DeleteUrlCacheEntryA(adresse.c_str());
    if (!recoit(adresse, temporaire)) {
        DeleteFileA(temporaire.c_str());
        return 0;
    }
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

}  // namespace libmaj
