#include "process.h"

#include <windows.h>

namespace libmaj {

bool lanceprogramme(const std::string& lignedecommande, int affichage)
{
    std::string ligne = lignedecommande;   // CreateProcessA may write into it
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(affichage);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, ligne.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

}  // namespace libmaj
