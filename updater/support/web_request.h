// One GET over HTTPS under the rules that every page fetch and download follows: redirects
// are taken by the updater itself (https only, at most redirectionsmax in a row), no
// connection is ever used for a second request, and the wait for the answer and for each
// read is bounded. The waits keep the window's messages flowing.
#pragma once

#include "internet.h"
#include "web_rules.h"

#include <windows.h>
#include <wininet.h>

#include <string>

namespace libmaj {

// How long a silent server is waited for, in seconds: for the answer's headers (connection
// and TLS handshake included), and for each read of the body. A transfer that keeps moving
// is never cut off, however slow.
double delaireponse();
double delailecture();

// An asynchronous session with the agent "OPEN_INTERNET", direct: the only kind in which
// every wait can be bounded.
PoigneeInternet sessionasynchrone();

class Echange;

class Requete {
public:
    explicit Requete(HINTERNET session) : session_(session) {}
    ~Requete();
    Requete(const Requete&) = delete;
    Requete& operator=(const Requete&) = delete;

    // Sends the request and waits for the answer's headers, following redirects. False when
    // no answer came (no connection, a refused certificate, a time-out); otherwise `lecture`
    // says what the headers announced. A refused redirect leaves its 3xx status there.
    bool ouvre(const std::string& adresse, DWORD drapeaux);
    Lecture lecture;

    // Reads the next part of the body into `vers`: true with `lus` 0 at its end; false when
    // the read failed or the server fell silent for longer than delailecture().
    bool lit(char* vers, DWORD taille, DWORD& lus);

private:
    bool ouvreune(const std::string& adresse, DWORD drapeaux);
    std::string entete(DWORD quoi) const;
    void ferme();

    HINTERNET session_;
    PoigneeInternet requete_;
    Echange* echange_ = nullptr;
};

}  // namespace libmaj
