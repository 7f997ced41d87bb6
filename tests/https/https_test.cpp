// The Windows test programs reach the local HTTPS server through the platform's own
// Internet layer, with the server's certificate checked against the test CA.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

struct FermeInternet {
    void operator()(void* h) const { InternetCloseHandle(static_cast<HINTERNET>(h)); }
};
using Internet = std::unique_ptr<void, FermeInternet>;

std::string variable(const char* nom)
{
    const char* v = std::getenv(nom);
    return v ? v : "";
}

// Opens the address; on failure gives the platform's error code.
Internet ouvre(HINTERNET session, const std::string& adresse, DWORD& erreur)
{
    Internet requete(InternetOpenUrlA(session, adresse.c_str(), "", 0,
                                      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD, 0));
    erreur = requete ? 0 : GetLastError();
    return requete;
}

std::string litTout(HINTERNET requete)
{
    std::string corps;
    char tampon[1024];
    DWORD lus = 0;
    while (InternetReadFile(requete, tampon, sizeof tampon, &lus) && lus > 0)
        corps.append(tampon, lus);
    return corps;
}

}  // namespace

TEST(TestBed, FetchesFromTheLocalServerWithTheCertificateVerified)
{
    const std::string serveur = variable("TIDEWELL_TEST_SERVER");
    ASSERT_FALSE(serveur.empty());
    Internet session(InternetOpenA("OPEN_INTERNET", INTERNET_OPEN_TYPE_DIRECT, "", "", 0));
    ASSERT_TRUE(session);
    DWORD erreur = 0;
    Internet requete = ouvre(session.get(), serveur + "/bonjour.txt", erreur);
    ASSERT_TRUE(requete) << "error " << erreur;
    EXPECT_EQ(litTout(requete.get()), "bonjour depuis le serveur de test\r\n");

}

TEST(TestBed, RefusesAServerWhoseCertificateIsNotTrusted)
{
    const std::string serveur = variable("TIDEWELL_TEST_UNTRUSTED");
    ASSERT_FALSE(serveur.empty());
    Internet session(InternetOpenA("OPEN_INTERNET", INTERNET_OPEN_TYPE_DIRECT, "", "", 0));
    ASSERT_TRUE(session);
    DWORD erreur = 0;
    Internet requete = ouvre(session.get(), serveur + "/bonjour.txt", erreur);
    EXPECT_FALSE(requete);
    // Refused for its certificate, not for want of a server: both servers serve the same
    // folder and differ only in who signed their certificate. Wine reports the failed chain
    // as 12057, Windows as 12045.
    EXPECT_TRUE(erreur == ERROR_INTERNET_INVALID_CA || erreur == ERROR_INTERNET_SEC_CERT_REV_FAILED)
        << "error " << erreur;
}
