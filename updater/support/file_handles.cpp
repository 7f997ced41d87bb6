#include "file_handles.h"

#include "signature_check.h"
#include "wait.h"
#include "web_rules.h"

#include <cstddef>
#include <string>
#include <vector>

namespace libmaj {

namespace {

constexpr DWORD tailleblocs = 256 * 1024;

bool ecrittout(HANDLE fichier, const char* octets, std::size_t taille)
{
    while (taille > 0) {
        const DWORD morceau = taille > tailleblocs ? tailleblocs : static_cast<DWORD>(taille);
        DWORD ecrits = 0;
        if (!WriteFile(fichier, octets, morceau, &ecrits, nullptr) || ecrits != morceau)
            return false;
        octets += morceau;
        taille -= morceau;
    }
    return true;
}

}  // namespace

void FermeFichier::operator()(HANDLE h) const
{
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

PoigneeFichier creeneuf(const std::string& chemin, bool ecraselaisse)
{
    if (ecraselaisse)
        liberenom(chemin);
    PoigneeFichier f(CreateFileA(chemin.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f.get() == INVALID_HANDLE_VALUE)
        return nullptr;
    if (!effacealafermeture(f.get(), true)) {
        // Not markable: it cannot be left to the platform, so it goes now.
        f.reset();
        DeleteFileA(chemin.c_str());
        return nullptr;
    }
    return f;
}

BOOL(WINAPI* vidange)(HANDLE) = FlushFileBuffers;

bool effacealafermeture(HANDLE fichier, bool efface)
{
    FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(efface)};
    return SetFileInformationByHandle(fichier, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool renomme(HANDLE fichier, const std::string& destination, bool remplace)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, destination.c_str(), -1, nullptr, 0);
    if (n <= 1)
        return false;
    std::vector<unsigned char> tampon(offsetof(FILE_RENAME_INFO, FileName) + sizeof(WCHAR) * static_cast<std::size_t>(n));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(tampon.data());
    info->ReplaceIfExists = remplace;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(sizeof(WCHAR) * static_cast<std::size_t>(n - 1));
    MultiByteToWideChar(CP_ACP, 0, destination.c_str(), -1, info->FileName, n);
    return SetFileInformationByHandle(fichier, FileRenameInfo, info, static_cast<DWORD>(tampon.size())) != 0;
}

bool fichierpropre(HANDLE fichier, DWORD* attributs)
{
    BY_HANDLE_FILE_INFORMATION i{};
    if (!GetFileInformationByHandle(fichier, &i) || i.nNumberOfLinks != 1
        || (i.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    if (attributs)
        *attributs = i.dwFileAttributes;
    return true;
}

void regleattributs(const std::string& chemin, unsigned long (*regle)(unsigned long))
{
    // Through a handle on the name itself, checked to be no link and no second name of a file
    // elsewhere, whose attributes are that file's. Wine lets no process that may not write
    // the file open it to write its attributes: there the name is used once it is checked.
    const auto ouvre = [&](DWORD acces) {
        return PoigneeFichier(CreateFileA(chemin.c_str(), acces, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    };
    bool parnom = false;
    PoigneeFichier f = ouvre(FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (f.get() == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        f = ouvre(FILE_READ_ATTRIBUTES | SYNCHRONIZE);
        parnom = true;
    }
    DWORD attributs = 0;
    if (f.get() == INVALID_HANDLE_VALUE || !fichierpropre(f.get(), &attributs))
        return;
    FILE_BASIC_INFO b{};   // times left at 0: unchanged
    b.FileAttributes = static_cast<DWORD>(regle(attributs));
    if (b.FileAttributes == attributs)
        return;
    if (b.FileAttributes == 0)
        b.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (parnom)
        SetFileAttributesA(chemin.c_str(), b.FileAttributes);
    else
        SetFileInformationByHandle(f.get(), FileBasicInfo, &b, sizeof b);
}

void otelectureseule(const std::string& chemin)
{
    regleattributs(chemin, [](unsigned long a) { return a & ~static_cast<unsigned long>(FILE_ATTRIBUTE_READONLY); });
}

bool effacepropre(const std::string& chemin)
{
    otelectureseule(chemin);
    if (DeleteFileA(chemin.c_str()))
        return true;
    const DWORD a = GetFileAttributesA(chemin.c_str());
    return a == INVALID_FILE_ATTRIBUTES ? GetLastError() == ERROR_FILE_NOT_FOUND : (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool liberenom(const std::string& chemin)
{
    // A folder is someone's: it stays, and what needs the name fails as it would have.
    if (effacepropre(chemin))
        return true;
    // What cannot go without changing a file elsewhere (a read-only second name of it) is
    // moved aside, whole, under a name of its own.
    for (int essai = 0; essai < 4; ++essai) {
        const std::string cote = chemin + "." + std::to_string(GetTickCount() + static_cast<DWORD>(essai)) + ".~ecarte";
        if (MoveFileExA(chemin.c_str(), cote.c_str(), 0))
            return true;
    }
    return false;
}

std::optional<Attendu> mesure(const std::string& chemin)
{
    PoigneeFichier f(CreateFileA(chemin.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (f.get() == INVALID_HANDLE_VALUE)
        return std::nullopt;
    return mesure(f.get());
}

std::optional<Attendu> mesure(HANDLE f)
{
    Sha256 sha;
    std::vector<char> tampon(tailleblocs);
    Attendu a;
    for (;;) {
        DWORD lus = 0;
        if (!sha.valide() || !ReadFile(f, tampon.data(), tailleblocs, &lus, nullptr))
            return std::nullopt;
        if (lus == 0)
            break;
        sha.ajoute(tampon.data(), lus);
        a.taille += lus;
    }
    a.sha256 = sha.fin();
    if (a.sha256.empty())
        return std::nullopt;
    return a;
}

std::optional<Copie> copieverifiee(const std::string& source, const std::string& copie)
{
    PoigneeFichier entree(CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (entree.get() == INVALID_HANDLE_VALUE)
        return std::nullopt;
    Copie c{creeneuf(copie, false), {}};
    if (!c.fichier)
        return std::nullopt;
    Sha256 sha;
    std::vector<char> tampon(tailleblocs);
    for (;;) {
        DWORD lus = 0;
        if (!sha.valide() || !ReadFile(entree.get(), tampon.data(), tailleblocs, &lus, nullptr))
            return std::nullopt;
        if (lus == 0)
            break;
        if (!ecrittout(c.fichier.get(), tampon.data(), lus) || !sha.ajoute(tampon.data(), lus))
            return std::nullopt;
        c.contenu.taille += lus;
    }
    c.contenu.sha256 = sha.fin();
    if (c.contenu.sha256.empty() || !vidange(c.fichier.get()))
        return std::nullopt;
    return c;
}

bool ecritdurable(const std::string& chemin, const std::string& texte)
{
    PoigneeFichier f = creeneuf(nomtemporaire(chemin), true);
    if (!f || !ecrittout(f.get(), texte.data(), texte.size()) || !vidange(f.get())
        || !effacealafermeture(f.get(), false))
        return false;
    if (renomme(f.get(), chemin))
        return true;
    if (!effacealafermeture(f.get(), true)) {
        f.reset();
        DeleteFileA(nomtemporaire(chemin).c_str());
    }
    return false;
}

VidangeFond::VidangeFond(HANDLE fichier, unsigned long long pas)
    : fichier_(fichier), pas_(pas), libre_(CreateEventA(nullptr, TRUE, TRUE, nullptr))
{
}

void VidangeFond::ecrit(unsigned long long octets)
{
    depuis_ += octets;
    if (depuis_ < pas_)
        return;
    depuis_ = 0;
    if (!libre_ || WaitForSingleObject(libre_.get(), 0) != WAIT_OBJECT_0)
        return;
    ResetEvent(libre_.get());
    if (!QueueUserWorkItem(vide, this, WT_EXECUTELONGFUNCTION))
        SetEvent(libre_.get());
}

DWORD WINAPI VidangeFond::vide(void* moi)
{
    auto* v = static_cast<VidangeFond*>(moi);
    vidange(v->fichier_);
    SetEvent(v->libre_.get());   // the last use of *v: its owner may end it at once
    return 0;
}

VidangeFond::~VidangeFond()
{
    if (libre_) {
        while (!attendsurmessages(libre_.get(), 1.0)) {
        }
    }
}

std::optional<Volume> volumede(const std::string& dossier)
{
    const std::string racine = dossier.empty() || dossier.back() == '\\' ? dossier : dossier + "\\";
    ULARGE_INTEGER libre;
    if (!GetDiskFreeSpaceExA(racine.c_str(), &libre, nullptr, nullptr))
        return std::nullopt;
    Volume v{libre.QuadPart, 0};
    DWORD secteursparcluster = 0, octetsparsecteur = 0, libres = 0, total = 0;
    if (GetDiskFreeSpaceA(racine.c_str(), &secteursparcluster, &octetsparsecteur, &libres, &total))
        v.cluster = static_cast<unsigned long long>(secteursparcluster) * octetsparsecteur;
    return v;
}

}  // namespace libmaj
