#include "internet.h"

#include "messages.h"
#include "pointer.h"
#include "run_state.h"
#include "wait.h"
#include "web_rules.h"
#include "web_request.h"

namespace libmaj {

std::int16_t testconnexion(std::int16_t messages)
{
    for (int essai = 1;; ++essai) {
        DWORD drapeaux = 0;
        if (InternetGetConnectedState(&drapeaux, 0))
            return 1;
        if (essai == 3)
            break;
        attente(0.5f);
    }
    if (messages != 1)
        return 0;
    return montre(messagesansconnexion(etat().langue, etat().sautligne)) == IDOK ? 1 : 0;
}

PoigneeInternet ouvreinternet(const std::string& titre, std::int16_t messages)
{
    PoigneeInternet session = sessionasynchrone();
    if (!session) {
        pointeursouris(Pointeur::defaut);
        if (messages == 1)
            montre(messageenvironnement(etat().langue, titre));
        return nullptr;
    }
    if (!testconnexion(messages))
        return nullptr;
    return session;
}

std::int16_t lecturepage(const std::string& titre, std::int16_t messages, const std::string& adresse,
                         const std::string& site, std::string& page, std::size_t taillemax, bool signee,
                         bool* absente)
{
    page.clear();
    if (absente)
        *absente = false;
    PoigneeInternet session = ouvreinternet(titre, messages);
    if (!session)
        return pagesansinternet;
    DeleteUrlCacheEntryA(adresse.c_str());
    // The whole page, redirects included, by one time: a server cannot hold the run by
    // sending it a little at a time.
    const double jusqua = horlogemonotone() + delaipage();
    Requete requete(session.get());
    const bool ouverte = requete.ouvre(adresse, jusqua);
    cedemessages();
    if (!ouverte) {
        if (absente)
            *absente = pageabsente(requete.lecture, page);
        if (messages == 1)
            montre(messagepage(etat().langue, etat().sautligne, titre, site));
        return pagemanquante;
    }
    Lecture& lecture = requete.lecture;
    for (;;) {
        cedemessages();
        const char* bloc = nullptr;
        DWORD lus = 0;
        if (!requete.lit(1024, jusqua, bloc, lus)) {
            lecture.echeclecture = true;
            break;
        }
        if (lus == 0)
            break;
        if (page.size() + lus > taillemax) {
            lecture.tropgrand = true;
            break;
        }
        page.append(bloc, lus);
    }
    if (absente)
        *absente = pageabsente(lecture, page);
    if (lecture.tropgrand)
        page.clear();
    return statutpage(lecture, page, signee);
}

}  // namespace libmaj
