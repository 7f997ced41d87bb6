// What the maker's check reads from the update server: one GET at a time over TLS 1.2 or
// later, on OpenSSL's libssl, trusting only a verified chain for the address's host name.
// Every read is bounded in bytes and in time, so that a server, hostile or broken, can
// neither hang the check nor make it hold more than the caller allows. Built natively only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct ssl_ctx_st;

namespace tidewell::controle {

// An https address taken apart; nothing for any other address, and for one with user
// information, a fragment, spaces or control characters.
struct Adresse {
    std::string hote;     // a name, or an IP address (without the brackets of IPv6)
    std::string port = "443";
    std::string chemin;   // from its "/", with any query
};
bool lectureadresse(const std::string& texte, Adresse& a);

// A listed name as it goes into an address: the characters a published name may hold travel
// as they are, as the updater sends them; any other byte is escaped, so that no name can end
// the path or start a query.
std::string echappeurl(const std::string& nom);

struct Reponse {
    enum class Issue {
        lue,       // a success status and the whole body
        statut,    // another status: `statut` says which
        tls,       // no TLS connection whose certificate verifies for the host
        echec,     // no connection, a time-out, a cut or malformed answer, a refused redirect
        tropgrand  // the body is longer than the caller takes
    };
    Issue issue = Issue::echec;
    unsigned long statut = 0;
    std::uint64_t recus = 0;   // body bytes given to the caller
    std::string erreur;        // what went wrong, for the maker
};

// Receives the body a piece at a time, as it arrives.
using Puits = std::function<void(const char* octets, std::size_t taille)>;

class ClientHttps {
public:
    // Trusting only the certificates of `fichierca` (PEM), or the system's store when it is
    // empty; false, with `erreur` set, when they cannot be loaded.
    bool prepare(const std::string& fichierca, std::string& erreur);

    // GETs the address, following at most 5 redirects, each to an absolute https address, and
    // hands at most `taillemax` body bytes to `puits`.
    Reponse lit(const std::string& adresse, std::uint64_t taillemax, const Puits& puits);
    Reponse lit(const std::string& adresse, std::uint64_t taillemax, std::string& corps);

    // The longest a connection may wait for the server, and what it must bring meanwhile:
    // the answer's first bytes, then 64 KiB of its body or its end, each within that time.
    int delaisecondes = 30;

private:
    struct LibereCtx {
        void operator()(ssl_ctx_st* c) const;
    };
    std::unique_ptr<ssl_ctx_st, LibereCtx> ctx_;
};

}  // namespace tidewell::controle
