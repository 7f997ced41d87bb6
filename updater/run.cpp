#include "run.h"

#include "command_word.h"
#include "files.h"
#include "message_box.h"
#include "paths.h"
#include "run_state.h"
#include "run_texts.h"
#include "text.h"
#include "wait.h"

#include <windows.h>

namespace tidewell {

namespace {

std::string dossierduprogramme()
{
    char chemin[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, chemin, MAX_PATH);
    std::string dossier(chemin, n);
    const auto fin = dossier.find_last_of('\\');
    return fin == std::string::npos ? std::string() : dossier.substr(0, fin + 1);
}

// Clears read-only, hidden and system from the application folder. A drive root is named
// with its backslash: "C:" alone would be the current folder of that drive.
void normaliseattributsdossier(const std::string& dossier)
{
    std::string cible = dossier;
    if (cible.size() == 2 && cible[1] == ':')
        cible += '\\';
    if (!cible.empty())
        SetFileAttributesA(cible.c_str(), FILE_ATTRIBUTE_NORMAL);
}

[[noreturn]] void finduprocessus()
{
    ExitProcess(0);
}

}  // namespace

bool Main::chargement(const std::string& lignedecommande)
{
    libmaj::centrefenetre(vue_, 7500, 2850);
    auto& etat = libmaj::etat();
    etat.sautligne = "\r\n";
    etat.langue = 1;
    etat.dossierappli = dossierduprogramme();
    libmaj::formatchemin(etat.dossierappli);
    normaliseattributsdossier(etat.dossierappli);
    titre_ = libmaj::sansespaces(vue_.titre());
    fichliste_ = etat.dossierappli + "\\Listfich.ini";
    nomappli_.clear();
    adressemaj_.clear();
    taillemaj_ = 0;
    vue_.largeurpct(0);
    for (int i = 1; i <= 4; ++i)
        vue_.libelle(i, "");
    vue_.affpct("0%");
    relancer_ = relancerpour(argumentsdelaligne(lignedecommande));

    rechercheappli();
    if (!nomappli_.empty())
        return true;

    libmaj::afficheboite(messageintrouvable(etat.langue, etat.sautligne), titre_, 64);
    vue_.ferme();
    finduprocessus();
}

void Main::activation()
{
    for (int i = 0; i < 10; ++i)
        libmaj::cedemessages();
    telechargement();
    libmaj::supprimefichier(fichliste_);
    relance();
    vue_.ferme();
    finduprocessus();
}

void Main::rechercheappli()
{
    nomappli_.clear();
}

void Main::telechargement()
{
}

void Main::relance()
{
}

}  // namespace tidewell
