#include "files.h"

#include "com.h"
#include "errors.h"
#include "file_handles.h"
#include "messages.h"
#include "pointer.h"
#include "run_state.h"
#include "text.h"
#include "wait.h"

#include <windows.h>
#include <oleauto.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace libmaj {

namespace {

constexpr const char* moduletest = "Libmaj - testfichier";

struct FermeFlux {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using Fichier = std::unique_ptr<std::FILE, FermeFlux>;

class Bstr {
public:
    explicit Bstr(const std::string& texte)
    {
        const int n = MultiByteToWideChar(CP_ACP, 0, texte.data(), static_cast<int>(texte.size()), nullptr, 0);
        b_ = SysAllocStringLen(nullptr, static_cast<UINT>(n));
        if (b_)
            MultiByteToWideChar(CP_ACP, 0, texte.data(), static_cast<int>(texte.size()), b_, n);
    }
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const { return b_; }

private:
    BSTR b_ = nullptr;
};

void normaliseattributs(const std::string& chemin)
{
    const DWORD trouves = GetFileAttributesA(chemin.c_str());
    if (trouves == INVALID_FILE_ATTRIBUTES)
        return;
    const unsigned long voulus = attributsnormalises(trouves);
    if (voulus != trouves)
        SetFileAttributesA(chemin.c_str(), voulus == 0 ? FILE_ATTRIBUTE_NORMAL : voulus);
}

// The directory search: normal, read-only, archive and hidden files; no folders and no
// system files. True when it names a file; false with `erreur` set when the search failed
// for another reason than finding nothing.
bool chercheparmotif(const std::string& chemin, bool& echec)
{
    WIN32_FIND_DATAA trouve;
    Recherche recherche(FindFirstFileA(chemin.c_str(), &trouve));
    if (recherche.get() == INVALID_HANDLE_VALUE) {
        recherche.release();
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND && code != ERROR_NO_MORE_FILES) {
            erreurcourante(erreurplateforme(code));
            echec = true;
        }
        return false;
    }
    do {
        if (trouve.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM))
            continue;
        if (!sansespaces(trouve.cFileName).empty())
            return true;
    } while (FindNextFileA(recherche.get(), &trouve));
    return false;
}

// The scripting file-system object's own answer for exactly this path.
bool existeselonscripting(const std::string& chemin, bool& echec)
{
    ApartementCom com;
    auto echoue = [&](HRESULT hr) {
        erreurcourante(erreurplateforme(static_cast<unsigned long>(hr)));
        echec = true;
        return false;
    };
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"Scripting.FileSystemObject", &clsid);
    if (FAILED(hr))
        return echoue(hr);
    Com<IDispatch> fso;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&fso.p));
    if (FAILED(hr))
        return echoue(hr);
    LPOLESTR nom = const_cast<LPOLESTR>(L"FileExists");
    DISPID id;
    hr = fso.p->GetIDsOfNames(IID_NULL, &nom, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return echoue(hr);
    Bstr argument(chemin);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = argument.get();
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    VARIANT resultat;
    VariantInit(&resultat);
    hr = fso.p->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &resultat, nullptr, nullptr);
    if (FAILED(hr))
        return echoue(hr);
    const bool existe = resultat.vt == VT_BOOL && resultat.boolVal != VARIANT_FALSE;
    VariantClear(&resultat);
    return existe;
}

// The second way of copying: read the source and write the destination through the C
// run-time. The copy goes to a temporary file beside the destination, which replaces the
// destination only once it is whole: the destination is never left half written, and a file
// copied onto itself (the same name in other letter case) is not emptied on the way. Its
// failure becomes the current error.
bool copieparexecution(const std::string& source, const std::string& destination)
{
    auto echec = [](int numero) {
        erreurcourante(erreurexecution(numero ? numero : EIO));
        return false;
    };
    errno = 0;
    Fichier entree(std::fopen(source.c_str(), "rb"));
    if (!entree)
        return echec(errno);
    const std::string temporaire =
        destination + ".~" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    Fichier sortie(std::fopen(temporaire.c_str(), "wb"));
    if (!sortie)
        return echec(errno);
    std::unique_ptr<char[]> tampon(new char[1 << 16]);
    std::size_t lus;
    bool ecrit = true;
    while (ecrit && (lus = std::fread(tampon.get(), 1, 1 << 16, entree.get())) > 0)
        ecrit = std::fwrite(tampon.get(), 1, lus, sortie.get()) == lus;
    const int numero = errno;
    const bool complet = ecrit && !std::ferror(entree.get()) && std::fclose(sortie.release()) == 0;
    if (!complet) {
        sortie.reset();
        DeleteFileA(temporaire.c_str());
        return echec(numero ? numero : errno);
    }
    entree.reset();
    if (!MoveFileExA(temporaire.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD code = GetLastError();
        DeleteFileA(temporaire.c_str());
        erreurcourante(erreurplateforme(code));
        return false;
    }
    return true;
}

}  // namespace

std::int16_t testfichier(std::string& chemin, std::int16_t messages)
{
    chemin = sansespaces(chemin);
    if (chemin.empty())
        return 0;
    bool echec = false;
    if (chercheparmotif(chemin, echec) || (!echec && existeselonscripting(chemin, echec))) {
        normaliseattributs(chemin);
        return 1;
    }
    if (messages == 1) {
        if (echec)
            afficheerreur(moduletest);
        montre(messagenontrouve(etat().langue, etat().sautligne, chemin));
    }
    return 0;
}

std::int16_t copiefichier(std::string& source, std::string& destination, std::int16_t testsource,
                          std::int16_t messages)
{
    source = sansespaces(source);
    destination = sansespaces(destination);
    if (source.empty() || destination.empty())
        return 0;
    const auto& e = etat();
    if (messages == 1 && majuscules(source) == majuscules(destination)) {
        montre(messagememenom(e.langue, e.sautligne, source));
        return 0;
    }
    if (testsource == 1 && !testfichier(source, messages))
        return 0;
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (CopyFileA(source.c_str(), destination.c_str(), FALSE))
        return 1;
    if (copieparexecution(source, destination))
        return 1;
    if (messages == 1)
        montre(messageechecopie(e.langue, e.sautligne, source, destination, erreurcourante().description));
    return 0;
}

void supprimefichier(std::string& chemin)
{
    if (!testfichier(chemin, 0))
        return;
    if (!SetFileAttributesA(chemin.c_str(), FILE_ATTRIBUTE_NORMAL) || !DeleteFileA(chemin.c_str()))
        return;
    const double supprime = horlogemonotone();
    for (;;) {
        cedemessages();
        if (!testfichier(chemin, 0))
            return;
        if (horlogemonotone() - supprime > 2)
            return;
        dortsurmessages(0.05);
    }
}

double taillefichier(const std::string& chemin)
{
    if (chemin.empty())
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA donnees;
    if (!GetFileAttributesExA(chemin.c_str(), GetFileExInfoStandard, &donnees)
        || (donnees.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return static_cast<double>((static_cast<unsigned long long>(donnees.nFileSizeHigh) << 32)
                               | donnees.nFileSizeLow);
}

std::int16_t ecritfichiertexte(const std::string& chemin, const std::string& texte)
{
    Fichier f(std::fopen(chemin.c_str(), "wb"));
    if (!f)
        return 0;
    const bool ecrit = std::fwrite(texte.data(), 1, texte.size(), f.get()) == texte.size();
    return ecrit && std::fclose(f.release()) == 0 ? 1 : 0;
}

std::int16_t litfichiertexte(const std::string& chemin, std::string& texte, std::size_t maximum)
{
    texte.clear();
    Fichier f(std::fopen(chemin.c_str(), "rb"));
    if (!f)
        return 0;
    char tampon[4096];
    std::size_t lus;
    while (texte.size() <= maximum && (lus = std::fread(tampon, 1, sizeof tampon, f.get())) > 0)
        texte.append(tampon, lus);
    if (std::ferror(f.get()) || texte.size() > maximum) {
        texte.clear();
        return 0;
    }
    return 1;
}

}  // namespace libmaj
