#include "file_holders.h"

#include <windows.h>
#include <restartmanager.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace libmaj {

bool fichiertenu(const std::string& chemin)
{
    // Opened alone, to write: any handle another process has on the data or the name refuses
    // it, and so does a mapped program or library, which the platform keeps from being
    // written. Where this user may not write the file, its name and data alone are asked.
    for (const DWORD acces : {GENERIC_READ | GENERIC_WRITE | DELETE, GENERIC_READ | DELETE}) {
        const HANDLE f =
            CreateFileA(chemin.c_str(), acces, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        const DWORD erreur = GetLastError();
        if (f != INVALID_HANDLE_VALUE) {
            CloseHandle(f);
            return false;
        }
        if (erreur == ERROR_SHARING_VIOLATION || erreur == ERROR_LOCK_VIOLATION)
            return true;
        if (erreur != ERROR_ACCESS_DENIED)
            return false;
    }
    return false;
}

namespace {

struct LibereModule {
    void operator()(HMODULE m) const { FreeLibrary(m); }
};

// A procedure of the Restart Manager, found at run time: the program must start where the
// platform lacks it.
template <class Procedure>
Procedure procedure(HMODULE module, const char* nom)
{
    return reinterpret_cast<Procedure>(reinterpret_cast<void (*)()>(GetProcAddress(module, nom)));
}

std::string nomdeprogramme(const RM_PROCESS_INFO& info)
{
    std::string nom;
    if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, info.Process.dwProcessId)) {
        char chemin[MAX_PATH] = {};
        DWORD taille = MAX_PATH;
        if (QueryFullProcessImageNameA(p, 0, chemin, &taille)) {
            nom.assign(chemin, taille);
            nom.erase(0, nom.find_last_of('\\') + 1);
        }
        CloseHandle(p);
    }
    if (nom.empty()) {
        // A process of another user or session: the name the platform gives it.
        char texte[CCH_RM_MAX_APP_NAME + 1] = {};
        if (WideCharToMultiByte(CP_ACP, 0, info.strAppName, -1, texte, sizeof texte, nullptr, nullptr) > 0)
            nom = texte;
    }
    return nom;
}

}  // namespace

std::string detenteur(const std::string& chemin)
{
    char systeme[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(systeme, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    // From the system's folder by its whole path, and its own libraries from there too where
    // the platform can be told so: never a library of such a name planted beside the updater.
    const std::string dll = std::string(systeme, n) + "\\rstrtmgr.dll";
    HMODULE module = LoadLibraryExA(dll.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryA(dll.c_str());
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibereModule> rm(module);
    if (!rm)
        return {};
    const auto debut = procedure<DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*)>(rm.get(), "RmStartSession");
    const auto fin = procedure<DWORD(WINAPI*)(DWORD)>(rm.get(), "RmEndSession");
    const auto enregistre = procedure<DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*)>(
        rm.get(), "RmRegisterResources");
    const auto liste = procedure<DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*)>(rm.get(), "RmGetList");
    if (!debut || !fin || !enregistre || !liste)
        return {};
    const int longueur = MultiByteToWideChar(CP_ACP, 0, chemin.c_str(), -1, nullptr, 0);
    if (longueur <= 1)
        return {};
    // A vector, not a wide string: the library's wide strings would weigh more than all this.
    std::vector<WCHAR> large(static_cast<std::size_t>(longueur));
    MultiByteToWideChar(CP_ACP, 0, chemin.c_str(), -1, large.data(), longueur);
    DWORD session = 0;
    WCHAR cle[CCH_RM_SESSION_KEY + 1] = {};
    if (debut(&session, 0, cle) != ERROR_SUCCESS)
        return {};
    struct Session {
        DWORD numero;
        DWORD(WINAPI* fin)(DWORD);
        ~Session() { fin(numero); }
    } ouverte{session, fin};
    LPCWSTR noms[] = {large.data()};
    if (enregistre(session, 1, noms, 0, nullptr, 0, nullptr) != ERROR_SUCCESS)
        return {};
    // The first few holders are enough to name one; where there are more, none is named.
    RM_PROCESS_INFO infos[8];
    UINT besoin = 0, nombre = 8;
    DWORD raisons = 0;
    if (liste(session, &besoin, &nombre, infos, &raisons) != ERROR_SUCCESS)
        return {};
    for (UINT i = 0; i < nombre && i < 8; ++i)
        if (infos[i].Process.dwProcessId != GetCurrentProcessId()) {
            const std::string nom = nomdeprogramme(infos[i]);
            if (!nom.empty())
                return nom;
        }
    return {};
}

}  // namespace libmaj
