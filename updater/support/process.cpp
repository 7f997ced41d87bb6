#include "process.h"
#include "child_process.h"

#include <windows.h>
#include <tlhelp32.h>

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

Poignee lancesilencieux(const std::string& lignedecommande, HANDLE entree)
{
    std::string ligne = lignedecommande;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | (entree ? STARTF_USESTDHANDLES : 0);
    si.wShowWindow = SW_HIDE;
    si.hStdInput = entree;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, ligne.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return Poignee(pi.hProcess);
}

bool arreteprogrammesde(const std::string& chemin)
{
    Poignee instantane(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (instantane.get() == INVALID_HANDLE_VALUE)
        return false;
    bool reste = false;
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    for (BOOL encore = Process32First(instantane.get(), &e); encore; encore = Process32Next(instantane.get(), &e)) {
        Poignee p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                              e.th32ProcessID));
        char image[MAX_PATH + 1] = {};
        DWORD taille = sizeof image;
        if (!p || !QueryFullProcessImageNameA(p.get(), 0, image, &taille) || lstrcmpiA(image, chemin.c_str()) != 0)
            continue;
        TerminateProcess(p.get(), 1);
        reste = WaitForSingleObject(p.get(), 5000) != WAIT_OBJECT_0 || reste;
    }
    return !reste;
}

}  // namespace libmaj
