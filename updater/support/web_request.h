// One GET over HTTPS under the rules that every page fetch and download follows: redirects
// are taken by the updater itself (https only, at most redirectionsmax in a row), no
// connection is ever used for a second request, and every wait ends by a time the caller
// sets. The waits keep the window's messages flowing.
#pragma once

#include "internet_handle.h"
#include "web_rules.h"

#include <windows.h>
#include <wininet.h>

#include <string>

namespace libmaj {

// The bounds, in seconds. A download's answer (connection, TLS handshake and headers, every
// redirect included) comes within delaireponse(); its body then brings at least
// progresminimal() bytes in every delailecture() (a slow link that keeps moving is never cut
// off; one that drips slower is). A page comes whole, redirects and all, within delaipage().
double delaireponse();
double delailecture();
double delaipage();
constexpr unsigned long long progresminimal = 64 * 1024;

// An asynchronous session with the agent "OPEN_INTERNET", the only kind in which every wait
// can be bounded: direct, or through the user's proxy settings where the build says so
// (etat().proxysysteme).
PoigneeInternet sessionasynchrone();

// Every request and every redirect hop: from the server, never from the URL cache (Windows
// may otherwise answer a page from it) nor into it; never the user's cookies, which any https
// host that a redirect leads to could otherwise read or set; and redirects handed to the
// updater, which follows them by its own rules. A direct build adds INTERNET_FLAG_NO_AUTH.
constexpr DWORD drapeauxrequetes = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE
                                   | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;

class Echange;

class Requete {
public:
    explicit Requete(HINTERNET session) : session_(session) {}
    ~Requete();
    Requete(const Requete&) = delete;
    Requete& operator=(const Requete&) = delete;

    // Sends the request and waits for the answer's headers, following redirects, until
    // `jusqua` (on horlogemonotone()) at the latest. False when no answer came over TLS (no
    // connection, a refused certificate, a proxy's own answer, the time up); otherwise `lecture` says what the headers announced. A
    // refused redirect leaves its 3xx status there.
    // With `depuis`, the body is asked for from that byte on (Range), at every redirect.
    bool ouvre(const std::string& adresse, double jusqua, unsigned long long depuis = 0);
    Lecture lecture;

    // Reads the next part of the body, at most `taille` bytes, into the request's own buffer
    // (`bloc`, good until the next read): true with `lus` 0 at its end. False when the read
    // failed, or when it was still under way at `jusqua`: enattente() then says so, and the
    // next call goes on waiting for that same read.
    bool lit(DWORD taille, double jusqua, const char*& bloc, DWORD& lus);
    bool enattente() const;

private:
    bool ouvreune(const std::string& adresse, double jusqua, unsigned long long depuis);
    std::string entete(DWORD quoi) const;
    void ferme();

    HINTERNET session_;
    PoigneeInternet requete_;
    Echange* echange_ = nullptr;
};

}  // namespace libmaj
