#include "fetch_https.h"

#include "text.h"
#include "web_rules.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

namespace tidewell::controle {

namespace {

using Horloge = std::chrono::steady_clock;

// An answer's status line and headers together, and one chunk-size line: far above what any
// server sends, far below what could matter.
constexpr std::size_t entetesmax = 64 * 1024;
constexpr std::size_t lignetaillemax = 1024;
constexpr std::uint64_t pasfenetre = 64 * 1024;

bool adresseip(const std::string& hote)
{
    unsigned char a[sizeof(in6_addr)];
    return inet_pton(AF_INET, hote.c_str(), a) == 1 || inet_pton(AF_INET6, hote.c_str(), a) == 1;
}

std::string erreurssl()
{
    char texte[256] = "unknown";
    if (const unsigned long e = ERR_get_error())
        ERR_error_string_n(e, texte, sizeof texte);
    ERR_clear_error();
    return texte;
}

std::string sansblancs(const std::string& s)
{
    const auto debut = s.find_first_not_of(" \t");
    return debut == std::string::npos ? std::string() : s.substr(debut, s.find_last_not_of(" \t") - debut + 1);
}

// One connection, its TLS session and its buffer. The server has `delai` to bring the
// answer's head, then as long again for each 64 KiB of body: a server that sends a byte now
// and then cannot stretch a fetch beyond that.
class Connexion {
public:
    explicit Connexion(int delai) : delai_(delai), echeance_(Horloge::now() + delai_) {}
    ~Connexion()
    {
        if (ssl_)
            SSL_free(ssl_);
        if (fd_ >= 0)
            ::close(fd_);
    }
    Connexion(const Connexion&) = delete;
    Connexion& operator=(const Connexion&) = delete;

    bool ouvre(SSL_CTX* ctx, const Adresse& a, Reponse& r)
    {
        addrinfo indices = {};
        indices.ai_family = AF_UNSPEC;
        indices.ai_socktype = SOCK_STREAM;
        indices.ai_flags = AI_NUMERICSERV;
        addrinfo* liste = nullptr;
        if (const int e = getaddrinfo(a.hote.c_str(), a.port.c_str(), &indices, &liste)) {
            r.erreur = "cannot find the host " + a.hote + ": " + gai_strerror(e);
            return false;
        }
        std::string pourquoi = "no address";
        for (const addrinfo* i = liste; i && fd_ < 0; i = i->ai_next) {
            fd_ = ::socket(i->ai_family, i->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, i->ai_protocol);
            if (fd_ < 0)
                continue;
            int e = ::connect(fd_, i->ai_addr, i->ai_addrlen) == 0 ? 0 : errno;
            socklen_t n = sizeof e;
            if (e == EINPROGRESS && attend(POLLOUT, pourquoi))
                e = getsockopt(fd_, SOL_SOCKET, SO_ERROR, &e, &n) == 0 ? e : errno;
            if (e) {
                if (e != EINPROGRESS)
                    pourquoi = std::strerror(e);
                ::close(fd_);
                fd_ = -1;
            }
        }
        freeaddrinfo(liste);
        if (fd_ < 0) {
            r.erreur = "cannot connect to " + a.hote + " port " + a.port + ": " + pourquoi;
            return false;
        }
        ssl_ = SSL_new(ctx);
        const bool ip = adresseip(a.hote);
        // The certificate must name the very host asked for: an IP address among its
        // addresses, a name among its names.
        if (!ssl_ || !SSL_set_fd(ssl_, fd_) || (!ip && !SSL_set_tlsext_host_name(ssl_, a.hote.c_str()))
            || (ip ? !X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), a.hote.c_str())
                   : !SSL_set1_host(ssl_, a.hote.c_str()))) {
            r.erreur = "cannot set up TLS: " + erreurssl();
            return false;
        }
        SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        std::string erreur;
        if (!ssl([this] { return SSL_connect(ssl_); }, erreur) || SSL_get_verify_result(ssl_) != X509_V_OK
            || !SSL_get0_peer_certificate(ssl_)) {
            const long v = SSL_get_verify_result(ssl_);
            r.issue = Reponse::Issue::tls;
            r.erreur = "no trusted TLS connection to " + a.hote + ": "
                       + (v != X509_V_OK ? std::string("certificate not trusted (") + X509_verify_cert_error_string(v) + ")"
                                         : erreur);
            return false;
        }
        return true;
    }

    bool ecrit(const std::string& s, std::string& erreur)
    {
        for (std::size_t fait = 0; fait < s.size();) {
            std::size_t n = 0;
            if (!ssl([&] { return SSL_write_ex(ssl_, s.data() + fait, s.size() - fait, &n); }, erreur))
                return false;
            fait += n;
        }
        return true;
    }

    // Up to `n` bytes, the buffer's first; 0 at the stream's end, -1 on a failure.
    long lit(char* o, std::size_t n, std::string& erreur)
    {
        if (debut_ < tampon_.size()) {
            const std::size_t k = std::min(n, tampon_.size() - debut_);
            std::memcpy(o, tampon_.data() + debut_, k);
            debut_ += k;
            return static_cast<long>(k);
        }
        return litsession(o, n, erreur);
    }

    // A line ended by LF (a CR before it dropped), taken from `budget`.
    bool ligne(std::string& l, std::size_t& budget, std::string& erreur)
    {
        for (;;) {
            const auto fin = tampon_.find('\n', debut_);
            const std::size_t longueur = (fin == std::string::npos ? tampon_.size() : fin + 1) - debut_;
            if (longueur > budget) {
                erreur = "an answer's head or chunk line too long";
                return false;
            }
            if (fin != std::string::npos) {
                l = tampon_.substr(debut_, fin - debut_);
                if (!l.empty() && l.back() == '\r')
                    l.pop_back();
                debut_ = fin + 1;
                budget -= longueur;
                return true;
            }
            tampon_.erase(0, debut_);
            debut_ = 0;
            char morceau[4096];
            const long n = litsession(morceau, sizeof morceau, erreur);
            if (n <= 0) {
                if (n == 0)
                    erreur = "the answer is cut short";
                return false;
            }
            tampon_.append(morceau, static_cast<std::size_t>(n));
        }
    }

    // Body bytes arrived: each 64 KiB gives the server its time again.
    void avance(std::uint64_t n)
    {
        fenetre_ += n;
        if (fenetre_ >= pasfenetre) {
            fenetre_ %= pasfenetre;
            echeance_ = Horloge::now() + delai_;
        }
    }
    void nouvellefenetre()
    {
        fenetre_ = 0;
        echeance_ = Horloge::now() + delai_;
    }

private:
    long litsession(char* o, std::size_t n, std::string& erreur)
    {
        std::size_t lus = 0;
        bool fin = false;
        if (!ssl([&] { return SSL_read_ex(ssl_, o, n, &lus); }, erreur, &fin))
            return fin ? 0 : -1;
        return static_cast<long>(lus);
    }

    // Runs a TLS step until it is done, waiting on the socket as it asks, until the deadline.
    // A stream ended without TLS's own close (as many servers end a body sent until the
    // close) is an end, not a failure: the caller judges whether the body is whole.
    template <typename Pas>
    bool ssl(Pas pas, std::string& erreur, bool* fin = nullptr)
    {
        for (;;) {
            ERR_clear_error();
            const int rc = pas();
            if (rc > 0)
                return true;
            const int e = SSL_get_error(ssl_, rc);
            if (e == SSL_ERROR_ZERO_RETURN && fin) {
                *fin = true;
                return false;
            }
            if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
                if (!attend(e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, erreur))
                    return false;
                continue;
            }
            erreur = e == SSL_ERROR_SYSCALL && errno ? std::strerror(errno) : erreurssl();
            return false;
        }
    }

    bool attend(short evenement, std::string& erreur)
    {
        const auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(echeance_ - Horloge::now()).count();
        pollfd p = {fd_, evenement, 0};
        const int n = reste > 0 ? ::poll(&p, 1, static_cast<int>(reste)) : 0;
        if (n > 0)
            return true;
        erreur = n == 0 ? "the server is too slow (nothing, or less than 64 KiB, in " + std::to_string(delai_.count()) + " s)"
                        : std::string(std::strerror(errno));
        return false;
    }

    int fd_ = -1;
    SSL* ssl_ = nullptr;
    std::string tampon_;
    std::size_t debut_ = 0;
    std::chrono::seconds delai_;
    Horloge::time_point echeance_;
    std::uint64_t fenetre_ = 0;
};

// What of an answer's head the fetch needs.
struct Tete {
    unsigned long statut = 0;
    std::optional<std::uint64_t> longueur;
    bool enmorceaux = false;
    std::string encodage, destination;
};

bool lecturetete(Connexion& c, Tete& t, std::string& erreur)
{
    std::size_t budget = entetesmax;
    std::string l;
    // Interim answers (1xx) come before the real one.
    do {
        t = Tete{};
        if (!c.ligne(l, budget, erreur))
            return false;
        if (l.size() < 12 || l.compare(0, 7, "HTTP/1.") != 0 || l[8] != ' ' || l.find_first_not_of("0123456789", 9) < 12
            || (l.size() > 12 && l[12] != ' ')) {
            erreur = "not an HTTP answer";
            return false;
        }
        t.statut = std::stoul(l.substr(9, 3));
        bool longueurlue = false;
        while (c.ligne(l, budget, erreur) && !l.empty()) {
            const auto deux = l.find(':');
            if (deux == std::string::npos || deux == 0 || l[0] == ' ' || l[0] == '\t') {
                erreur = "a malformed header line";
                return false;
            }
            const std::string nom = libmaj::majuscules(l.substr(0, deux)), valeur = sansblancs(l.substr(deux + 1));
            if (nom == "CONTENT-LENGTH") {
                const auto n = libmaj::longueurdepuis(valeur);
                if (!n || (longueurlue && t.longueur != n)) {
                    erreur = "a Content-Length that is no length";
                    return false;
                }
                t.longueur = n;
                longueurlue = true;
            } else if (nom == "TRANSFER-ENCODING") {
                if (libmaj::majuscules(valeur) != "CHUNKED") {
                    erreur = "a transfer encoding other than chunks: " + valeur;
                    return false;
                }
                t.enmorceaux = true;
            } else if (nom == "CONTENT-ENCODING") {
                t.encodage = valeur;
            } else if (nom == "LOCATION") {
                t.destination = valeur;
            }
        }
        if (!erreur.empty())
            return false;
    } while (t.statut >= 100 && t.statut < 200 && t.statut != 101);
    if (t.enmorceaux && t.longueur) {
        erreur = "both a Content-Length and chunks";
        return false;
    }
    return true;
}

// The body, however it is delimited, to `puits`; at most `taillemax` bytes.
void lecturecorps(Connexion& c, const Tete& t, std::uint64_t taillemax, const Puits& puits, Reponse& r)
{
    char morceau[16 * 1024];
    const auto trop = [&](std::uint64_t n) {
        r.issue = Reponse::Issue::tropgrand;
        r.erreur = "more than the " + std::to_string(taillemax) + " bytes expected (" + std::to_string(n) + " sent)";
    };
    // `n` bytes exactly, or, with nothing announced, until the stream ends.
    const auto copie = [&](std::optional<std::uint64_t> n) {
        std::uint64_t pris = 0;
        while (!n || pris < *n) {
            const std::uint64_t voulu = n ? *n - pris : taillemax - r.recus + 1;
            const long k = c.lit(morceau, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof morceau, voulu)), r.erreur);
            if (k < 0)
                return false;
            if (k == 0) {
                if (n)
                    r.erreur = "the body is cut short after " + std::to_string(r.recus) + " bytes";
                return !n;
            }
            if (r.recus + static_cast<std::uint64_t>(k) > taillemax) {
                trop(r.recus + static_cast<std::uint64_t>(k));
                return false;
            }
            puits(morceau, static_cast<std::size_t>(k));
            pris += static_cast<std::uint64_t>(k);
            r.recus += static_cast<std::uint64_t>(k);
            c.avance(static_cast<std::uint64_t>(k));
        }
        return true;
    };
    c.nouvellefenetre();
    if (t.longueur && *t.longueur > taillemax)
        return trop(*t.longueur);
    if (!t.enmorceaux) {
        if (copie(t.longueur))
            r.issue = Reponse::Issue::lue;
        return;
    }
    for (;;) {
        std::string l;
        std::size_t budget = lignetaillemax;
        if (!c.ligne(l, budget, r.erreur))
            return;
        const std::string taille = sansblancs(l.substr(0, l.find(';')));
        if (taille.empty() || taille.size() > 15 || taille.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            r.erreur = "a malformed chunk size";
            return;
        }
        const std::uint64_t n = std::stoull(taille, nullptr, 16);
        if (n == 0)
            break;
        if (r.recus + n > taillemax)
            return trop(r.recus + n);
        budget = lignetaillemax;
        if (!copie(n) || !c.ligne(l, budget, r.erreur))
            return;
        if (!l.empty()) {
            r.erreur = "a chunk longer than it says";
            return;
        }
    }
    std::string l;
    std::size_t budget = entetesmax;
    while (c.ligne(l, budget, r.erreur))
        if (l.empty()) {
            r.issue = Reponse::Issue::lue;
            return;
        }
}

}  // namespace

bool lectureadresse(const std::string& texte, Adresse& a)
{
    if (libmaj::majuscules(texte.substr(0, 8)) != "HTTPS://"
        || std::any_of(texte.begin(), texte.end(), [](char c) { return c <= ' ' || c > '~' || c == '#'; }))
        return false;
    const std::string reste = texte.substr(8);
    const auto fin = reste.find_first_of("/?");
    const std::string autorite = reste.substr(0, fin);
    a.chemin = fin == std::string::npos ? "/" : reste.substr(fin);
    if (a.chemin[0] == '?')
        a.chemin.insert(0, "/");
    if (autorite.find('@') != std::string::npos)
        return false;
    std::string port;
    if (!autorite.empty() && autorite[0] == '[') {
        const auto ferme = autorite.find(']');
        if (ferme == std::string::npos || (ferme + 1 < autorite.size() && autorite[ferme + 1] != ':'))
            return false;
        a.hote = autorite.substr(1, ferme - 1);
        if (ferme + 1 < autorite.size())
            port = autorite.substr(ferme + 2);
        else
            port = "443";
    } else {
        const auto deux = autorite.find(':');
        a.hote = autorite.substr(0, deux);
        port = deux == std::string::npos ? "443" : autorite.substr(deux + 1);
    }
    const auto n = libmaj::longueurdepuis(port);
    if (a.hote.empty() || !n || *n < 1 || *n > 65535 || port[0] == '0')
        return false;
    a.port = port;
    return true;
}

std::string echappeurl(const std::string& nom)
{
    std::string e;
    for (const char c : nom) {
        if (std::isalnum(static_cast<unsigned char>(c)) || (c && std::strchr("._-+~()!$&',;=@/", c))) {
            e += c;
            continue;
        }
        char code[4];
        std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
        e += code;
    }
    return e;
}

void ClientHttps::LibereCtx::operator()(ssl_ctx_st* c) const
{
    SSL_CTX_free(c);
}

bool ClientHttps::prepare(const std::string& fichierca, std::string& erreur)
{
    // A server that closes while a request is sent ends that fetch, not the tool.
    std::signal(SIGPIPE, SIG_IGN);
    ctx_.reset(SSL_CTX_new(TLS_client_method()));
    SSL_CTX* c = ctx_.get();
    if (!c || !SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION)) {
        erreur = "cannot set up TLS: " + erreurssl();
        return false;
    }
    SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
    if (fichierca.empty() ? !SSL_CTX_set_default_verify_paths(c) : !SSL_CTX_load_verify_file(c, fichierca.c_str())) {
        erreur = (fichierca.empty() ? std::string("cannot load the system's certificates")
                                    : "cannot read CA certificates from " + fichierca)
                 + ": " + erreurssl();
        return false;
    }
    return true;
}

Reponse ClientHttps::lit(const std::string& adresse, std::uint64_t taillemax, const Puits& puits)
{
    std::string courante = adresse;
    for (int sauts = 0;; ++sauts) {
        Reponse r;
        Adresse a;
        if (!lectureadresse(courante, a)) {
            r.erreur = "not an https address: " + courante;
            return r;
        }
        Connexion c(delaisecondes);
        if (!c.ouvre(ctx_.get(), a, r))
            return r;
        const bool ipv6 = a.hote.find(':') != std::string::npos;
        const std::string hote = (ipv6 ? "[" + a.hote + "]" : a.hote) + (a.port == "443" ? "" : ":" + a.port);
        Tete t;
        if (!c.ecrit("GET " + a.chemin + " HTTP/1.1\r\nHost: " + hote
                         + "\r\nUser-Agent: tidewell-publish\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n",
                     r.erreur)
            || !lecturetete(c, t, r.erreur))
            return r;
        r.statut = t.statut;
        const bool redirection = t.statut == 301 || t.statut == 302 || t.statut == 303 || t.statut == 307 || t.statut == 308;
        if (redirection) {
            // As the updater follows them: absolute https addresses only, a few in a row.
            if (sauts == libmaj::redirectionsmax) {
                r.erreur = "more than " + std::to_string(libmaj::redirectionsmax) + " redirects";
                return r;
            }
            // A relative address is taken against this one, as the platform combines them for
            // the updater; only then must it be https.
            if (t.destination.rfind("//", 0) == 0)
                t.destination = "https:" + t.destination;
            else if (!t.destination.empty() && t.destination[0] == '/')
                t.destination = "https://" + hote + t.destination;
            else if (t.destination.find("://") == std::string::npos && !t.destination.empty())
                t.destination = "https://" + hote + a.chemin.substr(0, a.chemin.rfind('/', a.chemin.find('?')) + 1)
                                + t.destination;
            if (!libmaj::redirectionpermise(t.destination)) {
                r.erreur = "a redirect to \"" + t.destination + "\", not to an absolute https address";
                return r;
            }
            courante = t.destination;
            continue;
        }
        if (!libmaj::statutsucces(t.statut)) {
            r.issue = Reponse::Issue::statut;
            r.erreur = "HTTP status " + std::to_string(t.statut);
            return r;
        }
        if (!libmaj::encodageidentite(t.encodage)) {
            r.erreur = "sent with a Content-Encoding (" + t.encodage + ") that was not asked for";
            return r;
        }
        lecturecorps(c, t, taillemax, puits, r);
        return r;
    }
}

Reponse ClientHttps::lit(const std::string& adresse, std::uint64_t taillemax, std::string& corps)
{
    corps.clear();
    return lit(adresse, taillemax, [&corps](const char* o, std::size_t n) { corps.append(o, n); });
}

}  // namespace tidewell::controle
