#include "web_request.h"

#include "run_state.h"
#include "wait.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#ifndef TIDEWELL_DELAI_RESEAU
#define TIDEWELL_DELAI_RESEAU 30
#endif

namespace libmaj {

double delaireponse()
{
    return TIDEWELL_DELAI_RESEAU;
}

double delailecture()
{
    return TIDEWELL_DELAI_RESEAU;
}

double delaipage()
{
    return 2 * TIDEWELL_DELAI_RESEAU;
}

// What one request shares with WinINet's status callback, which runs on threads of its own.
// A read still pending when it is given up may yet write into `tampon` and `lus`: such an
// exchange is left allocated rather than freed under WinINet's hands.
class Echange {
public:
    Echange() : fait(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~Echange() { CloseHandle(fait); }
    HANDLE fait;
    DWORD_PTR resultat = 0;
    DWORD erreur = 0;
    HINTERNET cree = nullptr;
    std::vector<char> tampon;
    DWORD taille = 0;         // what the read under way asked for
    DWORD lus = 0;
    DWORD recu = 0;           // what the platform last said it received during the read
    DWORD disponible = 0;     // what a query under way says can be read at once
    bool enattente = false;   // an operation was started and has not completed
};

namespace {

// The exchanges that are still waited for, by the number given to WinINet as context: a
// callback for any other number (one given up) finds nothing and does nothing.
std::mutex verrou;
std::map<DWORD_PTR, Echange*> echanges;
DWORD_PTR numero = 0;

void CALLBACK rappel(HINTERNET, DWORD_PTR contexte, DWORD statut, LPVOID information, DWORD taille)
{
    if (contexte == 0 || !information)
        return;
    try {
        std::lock_guard<std::mutex> garde(verrou);
        const auto e = echanges.find(contexte);
        if (e == echanges.end())
            return;
        const auto* resultat = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        if (statut == INTERNET_STATUS_HANDLE_CREATED) {
            if (!e->second->cree)
                e->second->cree = reinterpret_cast<HINTERNET>(resultat->dwResult);
        } else if (statut == INTERNET_STATUS_RESPONSE_RECEIVED && taille == sizeof(DWORD)) {
            e->second->recu = *static_cast<const DWORD*>(information);
        } else if (statut == INTERNET_STATUS_REQUEST_COMPLETE) {
            e->second->resultat = resultat->dwResult;
            e->second->erreur = resultat->dwError;
            e->second->enattente = false;
            SetEvent(e->second->fait);
        }
    } catch (...) {
        // Nothing may leave a callback; the waiting side then runs into its time-out.
    }
}

// Waits for the exchange's operation until `jusqua`; false if it is still under way then.
bool attendsfin(Echange& e, double jusqua)
{
    const double reste = jusqua - horlogemonotone();
    return attendsurmessages(e.fait, reste > 0 ? reste : 0);
}

}  // namespace

PoigneeInternet sessionasynchrone()
{
    const DWORD acces = etat().proxysysteme ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT;
    PoigneeInternet session(InternetOpenA("OPEN_INTERNET", acces, "", "", INTERNET_FLAG_ASYNC));
    if (session && InternetSetStatusCallbackA(session.get(), rappel) == INTERNET_INVALID_STATUS_CALLBACK)
        session.reset();
    return session;
}

Requete::~Requete()
{
    ferme();
}

void Requete::ferme()
{
    if (!echange_)
        return;
    HINTERNET cree = nullptr;
    bool enattente = false;
    {
        std::lock_guard<std::mutex> garde(verrou);
        for (auto e = echanges.begin(); e != echanges.end(); ++e)
            if (e->second == echange_) {
                echanges.erase(e);
                break;
            }
        cree = echange_->cree;
        enattente = echange_->enattente;
    }
    // Closing the handle is what makes WinINet give up a pending operation.
    if (requete_)
        requete_.reset();
    else if (cree)
        InternetCloseHandle(cree);
    if (!enattente)
        delete echange_;
    echange_ = nullptr;
}

bool Requete::ouvreune(const std::string& adresse, DWORD drapeaux, double jusqua)
{
    ferme();
    echange_ = new Echange;
    DWORD_PTR contexte = 0;
    {
        std::lock_guard<std::mutex> garde(verrou);
        contexte = ++numero;
        echanges[contexte] = echange_;
        echange_->enattente = true;
    }
    // "Connection: close": a connection whose body did not end where its length said would
    // otherwise hand its leftover bytes to the next request as that one's answer.
    static const char entetes[] = "Connection: close\r\n";
    // Through a proxy, one that wants credentials the platform cannot give by itself is an
    // answer like any other that is not a page: never a prompt.
    const DWORD ui = etat().proxysysteme ? INTERNET_FLAG_NO_UI : 0;
    HINTERNET h = InternetOpenUrlA(session_, adresse.c_str(), entetes, DWORD(sizeof entetes - 1),
                                   drapeaux | INTERNET_FLAG_NO_AUTO_REDIRECT | ui, contexte);
    if (h) {
        std::lock_guard<std::mutex> garde(verrou);
        echange_->enattente = false;
    } else {
        if (GetLastError() != ERROR_IO_PENDING) {
            std::lock_guard<std::mutex> garde(verrou);
            echange_->enattente = false;
            return false;
        }
        if (!attendsfin(*echange_, jusqua))
            return false;
        if (!echange_->resultat)
            return false;
        h = reinterpret_cast<HINTERNET>(echange_->resultat);
    }
    requete_.reset(h);
    lecture = Lecture();
    DWORD statut = 0;
    DWORD taille = sizeof statut;
    if (HttpQueryInfoA(h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &statut, &taille, nullptr))
        lecture.statuthttp = statut;
    const std::string longueur = entete(HTTP_QUERY_CONTENT_LENGTH);
    if (!longueur.empty()) {
        lecture.longueurannoncee = longueurdepuis(longueur);
        lecture.longueurinvalide = !lecture.longueurannoncee;
    }
    lecture.encodee = !encodageidentite(entete(HTTP_QUERY_CONTENT_ENCODING));
    return true;
}

bool Requete::ouvre(const std::string& adresse, DWORD drapeaux, double jusqua)
{
    std::string a = adresse;
    for (int sauts = 0;; ++sauts) {
        if (!ouvreune(a, drapeaux, jusqua))
            return false;
        const unsigned long s = lecture.statuthttp;
        const bool redirection = s == 301 || s == 302 || s == 303 || s == 307 || s == 308;
        if (!redirection || sauts == redirectionsmax)
            return true;
        const std::string ou = entete(HTTP_QUERY_LOCATION);
        std::string suivante(INTERNET_MAX_URL_LENGTH + 1, '\0');
        DWORD n = DWORD(suivante.size());
        if (ou.empty() || !InternetCombineUrlA(a.c_str(), ou.c_str(), suivante.data(), &n, ICU_NO_ENCODE))
            return true;
        suivante.resize(n);
        if (!redirectionpermise(suivante))
            return true;
        a = suivante;
    }
}

std::string Requete::entete(DWORD quoi) const
{
    std::string valeur(256, '\0');
    for (;;) {
        DWORD taille = DWORD(valeur.size());
        if (HttpQueryInfoA(requete_.get(), quoi, valeur.data(), &taille, nullptr)) {
            valeur.resize(taille);
            return valeur;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || taille <= valeur.size() || taille > 65536)
            return {};
        valeur.assign(taille + 1, '\0');
    }
}

bool Requete::enattente() const
{
    std::lock_guard<std::mutex> garde(verrou);
    return echange_ && echange_->enattente;
}

bool Requete::lit(DWORD taille, double jusqua, const char*& bloc, DWORD& lus)
{
    lus = 0;
    bloc = nullptr;
    if (!requete_ || !echange_)
        return false;
    Echange& e = *echange_;
    if (!enattente()) {
        if (e.tampon.size() < taille)
            e.tampon.resize(taille);
        {
            std::lock_guard<std::mutex> garde(verrou);
            e.enattente = true;
            e.taille = taille;
            e.lus = 0;
            e.recu = 0;
            ResetEvent(e.fait);
        }
        if (InternetReadFile(requete_.get(), e.tampon.data(), taille, &e.lus)) {
            std::lock_guard<std::mutex> garde(verrou);
            e.enattente = false;
            lus = std::min(e.lus, taille);
            bloc = e.tampon.data();
            return true;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            std::lock_guard<std::mutex> garde(verrou);
            e.enattente = false;
            return false;
        }
    }
    if (!attendsfin(e, jusqua) || !e.resultat)
        return false;
    DWORD n = 0, recu = 0;
    {
        std::lock_guard<std::mutex> garde(verrou);
        n = std::min(e.lus, e.taille);
        recu = e.recu;
    }
    // Measured under Wine: a read that completes in the background while its call is still
    // returning now and then has its count zeroed after it was given, though it filled the
    // buffer. Wine then said what it put there in its last "received" notice; a read that
    // really ends the body leaves nothing to be read after it, which is asked to tell the two
    // apart (on a platform without the fault, a count of 0 is always the body's end).
    if (n == 0 && recu > 0 && recu <= e.taille) {
        const Reste reste = resteducorps(jusqua);
        if (reste == Reste::inconnu)
            return false;
        if (reste == Reste::suite)
            n = recu;
    }
    lus = n;
    bloc = e.tampon.data();
    return true;
}

Requete::Reste Requete::resteducorps(double jusqua)
{
    Echange& e = *echange_;
    {
        std::lock_guard<std::mutex> garde(verrou);
        e.enattente = true;
        e.disponible = 0;
        ResetEvent(e.fait);
    }
    // The count goes into the exchange, which outlives a query given up while under way.
    if (InternetQueryDataAvailable(requete_.get(), &e.disponible, 0, 0)) {
        std::lock_guard<std::mutex> garde(verrou);
        e.enattente = false;
        return e.disponible == 0 ? Reste::fin : Reste::suite;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        std::lock_guard<std::mutex> garde(verrou);
        e.enattente = false;
        return Reste::inconnu;
    }
    // An answer that does not come in time says nothing: the read is then a failed one. Wine
    // gives the count in the completion too.
    if (!attendsfin(e, jusqua) || !e.resultat)
        return Reste::inconnu;
    std::lock_guard<std::mutex> garde(verrou);
    return std::max<DWORD>(e.disponible, e.erreur) == 0 ? Reste::fin : Reste::suite;
}

}  // namespace libmaj
