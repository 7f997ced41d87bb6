// The updater's only contact with the network: the connection test, Internet sessions,
// page fetches into a string and downloads into a file.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>

namespace libmaj {

struct FermeInternet {
    void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
using PoigneeInternet = std::unique_ptr<void, FermeInternet>;

// 1 when the machine is connected, asking the platform three times half a second apart;
// with messages (flag 1) the user may choose to go on without a connection (1) or not (0).
std::int16_t testconnexion(std::int16_t messages);

// An Internet session with the agent "OPEN_INTERNET", direct, once the machine is found
// connected; none otherwise.
PoigneeInternet ouvreinternet(const std::string& titre, std::int16_t messages);

// Fetches the address into `page`. Returns 1 when the page was read whole, 2 when it is
// missing (not opened, an error status, not whole, or holding a missing-page marker), 0 when
// there is no Internet access. `site` names the site in the page message only.
std::int16_t lecturepage(const std::string& titre, std::int16_t messages, const std::string& adresse,
                         const std::string& site, std::string& page);

struct FermeFichier {
    void operator()(HANDLE h) const;
};
using PoigneeFichier = std::unique_ptr<void, FermeFichier>;

// Downloads the address into the destination file: 1 when the destination now holds the
// whole new file, 0 when it still holds what it held before (or nothing, if it held nothing).
std::int16_t telechargefichier(const std::string& adresse, const std::string& destination);

// What a signed file must be: its size in bytes and its SHA-256 (64 lower-case hexadecimal
// digits).
struct Attendu {
    unsigned long long taille = 0;
    std::string sha256;
};

// A download that arrived whole and as signed, waiting in its temporary file beside its
// destination; the application folder is unchanged until it is installed, and one never
// installed leaves nothing behind.
class Arrivee {
public:
    explicit operator bool() const { return static_cast<bool>(fichier_); }
    // Puts the file in place as telechargefichier does: 1 when the destination now holds it.
    std::int16_t installe();

private:
    friend Arrivee telechargeverifie(const std::string&, const std::string&, const Attendu&);
    PoigneeFichier fichier_;
    std::string temporaire_;
    std::string destination_;
};

// Downloads the address beside the destination, hashing it as it streams in; a body that is
// not the expected size (announced or arriving longer) is given up at once.
Arrivee telechargeverifie(const std::string& adresse, const std::string& destination, const Attendu& attendu);

}  // namespace libmaj
