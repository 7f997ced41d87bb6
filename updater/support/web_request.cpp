#include "web_request.h"

#include "run_state.h"
#include "wait.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>
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
    // The read under way: its buffer and size going in, the count it brought coming back,
    // written by the platform when the read completes, possibly on a thread of its own.
    INTERNET_BUFFERSA lecture{};
    DWORD demande = 0;
    // The security flags of the connection that brought the last answer's headers, taken as
    // they arrived: Wine lets that connection go as soon as an answer without a body has been
    // read (into its pool, or closed), and then answers for the request alone, without
    // SECURITY_FLAG_SECURE whatever the connection was; and after a pooled connection turns
    // out dead it connects again, so an earlier connection's flags say nothing.
    DWORD securitereponse = 0;
    bool reponsevue = false;
    bool enattente = false;   // an operation was started and has not completed
};

namespace {

// The exchanges that are still waited for, by the number given to WinINet as context: a
// callback for any other number (one given up) finds nothing and does nothing. A run waits for
// one at a time: a list searched from its start costs nothing and carries no tree's code.
// The platform's own lock: the library's mutex would bring a whole threads library along.
struct Verrou {
    SRWLOCK srw = SRWLOCK_INIT;
    void lock() { AcquireSRWLockExclusive(&srw); }
    void unlock() { ReleaseSRWLockExclusive(&srw); }
} verrou;
std::vector<std::pair<DWORD_PTR, Echange*>> echanges;
DWORD_PTR numero = 0;

Echange* echangede(DWORD_PTR contexte)
{
    for (const auto& e : echanges)
        if (e.first == contexte)
            return e.second;
    return nullptr;
}

void CALLBACK rappel(HINTERNET h, DWORD_PTR contexte, DWORD statut, LPVOID information, DWORD)
{
    if (contexte == 0 || !information)
        return;
    // Asked while the answer's connection is still the request's.
    const bool reponse = statut == INTERNET_STATUS_RESPONSE_RECEIVED;
    DWORD securite = 0;
    DWORD taillesecurite = sizeof securite;
    if (reponse && !InternetQueryOptionA(h, INTERNET_OPTION_SECURITY_FLAGS, &securite, &taillesecurite))
        securite = 0;
    try {
        std::lock_guard<Verrou> garde(verrou);
        Echange* e = echangede(contexte);
        if (!e)
            return;
        const auto* resultat = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        if (reponse) {
            e->securitereponse = securite;
            e->reponsevue = true;
        } else if (statut == INTERNET_STATUS_HANDLE_CREATED) {
            if (!e->cree)
                e->cree = reinterpret_cast<HINTERNET>(resultat->dwResult);
        } else if (statut == INTERNET_STATUS_REQUEST_COMPLETE) {
            e->resultat = resultat->dwResult;
            e->erreur = resultat->dwError;
            e->enattente = false;
            SetEvent(e->fait);
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
        std::lock_guard<Verrou> garde(verrou);
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

bool Requete::ouvreune(const std::string& adresse, double jusqua, unsigned long long depuis)
{
    ferme();
    echange_ = new Echange;
    DWORD_PTR contexte = 0;
    {
        std::lock_guard<Verrou> garde(verrou);
        contexte = ++numero;
        echanges.emplace_back(contexte, echange_);
        echange_->enattente = true;
    }
    // "Connection: close": a connection whose body did not end where its length said would
    // otherwise hand its leftover bytes to the next request as that one's answer.
    std::string entetes = "Connection: close\r\n";
    if (depuis)
        entetes += "Range: bytes=" + std::to_string(depuis) + "-\r\n";
    // Through a proxy, one that wants credentials the platform cannot give by itself is an
    // answer like any other that is not a page: never a prompt. Only there may the platform
    // answer a request for the user's Windows credentials by itself, which a company's proxy
    // needs; a direct build never sends them anywhere.
    const DWORD ui = etat().proxysysteme ? INTERNET_FLAG_NO_UI : INTERNET_FLAG_NO_AUTH;
    HINTERNET h = InternetOpenUrlA(session_, adresse.c_str(), entetes.c_str(), DWORD(entetes.size()),
                                   drapeauxrequetes | ui, contexte);
    if (h) {
        std::lock_guard<Verrou> garde(verrou);
        echange_->enattente = false;
    } else {
        if (GetLastError() != ERROR_IO_PENDING) {
            std::lock_guard<Verrou> garde(verrou);
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
    // An answer that did not come over TLS is no answer: a proxy that answers CONNECT with
    // anything but 200 has its own answer handed over as the request's, read in clear text.
    DWORD securite = 0;
    DWORD taillesecurite = sizeof securite;
    if (!InternetQueryOptionA(h, INTERNET_OPTION_SECURITY_FLAGS, &securite, &taillesecurite))
        securite = 0;
    {
        std::lock_guard<Verrou> garde(verrou);
        if (echange_->reponsevue)
            securite = echange_->securitereponse;
    }
    if (!(securite & SECURITY_FLAG_SECURE))
        return false;
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
    lecture.plage = entete(HTTP_QUERY_CONTENT_RANGE);
    return true;
}

bool Requete::ouvre(const std::string& adresse, double jusqua, unsigned long long depuis)
{
    std::string a = adresse;
    for (int sauts = 0;; ++sauts) {
        if (!ouvreune(a, jusqua, depuis))
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
    std::lock_guard<Verrou> garde(verrou);
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
            std::lock_guard<Verrou> garde(verrou);
            e.enattente = true;
            e.lecture = INTERNET_BUFFERSA{};
            e.lecture.dwStructSize = sizeof e.lecture;
            e.lecture.lpvBuffer = e.tampon.data();
            e.lecture.dwBufferLength = taille;
            e.demande = taille;
            ResetEvent(e.fait);
        }
        // The extended read, not InternetReadFile: Wine's InternetReadFile sets the caller's
        // count to 0 once it has queued the read, which may be after its worker has already
        // written the real count there, and a read that ends the body then looks empty. The
        // count in the buffer description is written once, by the read itself.
        if (InternetReadFileExA(requete_.get(), &e.lecture, IRF_ASYNC, 0)) {
            std::lock_guard<Verrou> garde(verrou);
            e.enattente = false;
            lus = std::min(e.lecture.dwBufferLength, taille);
            bloc = e.tampon.data();
            return true;
        }
        if (GetLastError() != ERROR_IO_PENDING) {
            std::lock_guard<Verrou> garde(verrou);
            e.enattente = false;
            return false;
        }
    }
    if (!attendsfin(e, jusqua) || !e.resultat)
        return false;
    std::lock_guard<Verrou> garde(verrou);
    lus = std::min(e.lecture.dwBufferLength, e.demande);
    bloc = e.tampon.data();
    return true;
}

}  // namespace libmaj
