#include "run_log.h"

#include "file_handles.h"
#include "run_log_text.h"
#include "web_rules.h"

#include <windows.h>

#include <algorithm>

namespace tidewell {

// Formatted by hand: the C library's formatted printing would add some 28 KB to the program
// for this one line.
std::string maintenantutc()
{
    SYSTEMTIME t;
    GetSystemTime(&t);
    const auto deux = [](unsigned n) {
        return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
    };
    return std::to_string(t.wYear) + "-" + deux(t.wMonth) + "-" + deux(t.wDay) + "T" + deux(t.wHour) + ":"
           + deux(t.wMinute) + ":" + deux(t.wSecond) + "Z";
}

void nettoiejournal(const std::string& dossier)
{
    // A full log's new text a power cut left before it was renamed in.
    const std::string temporaire = libmaj::nomtemporaire(dossier + "\\" + nomjournalexecution);
    if (!DeleteFileA(temporaire.c_str()))
        RemoveDirectoryA(temporaire.c_str());
}

void consigne(const std::string& dossier, std::initializer_list<std::string_view> morceaux)
try {
    std::string texte;
    for (const std::string_view m : morceaux)
        texte.append(m.data(), m.size());
    const std::string chemin = dossier + "\\" + nomjournalexecution;
    std::string ligne = lignejournal(maintenantutc(), texte);
    // The log is the updater's own: a read-only one left by a copy is still written.
    libmaj::otelectureseule(chemin);
    // A line goes on in one write, through to the disk: a kill or a power cut leaves every
    // line before it whole.
    libmaj::PoigneeFichier f(CreateFileA(chemin.c_str(), FILE_APPEND_DATA | GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_ALWAYS, FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    LARGE_INTEGER taille{};
    // A link put under its name (to a file elsewhere, or a second name of one) is never
    // written through, whatever it leads to.
    if (f.get() == INVALID_HANDLE_VALUE || !libmaj::fichierpropre(f.get()) || !GetFileSizeEx(f.get(), &taille))
        return;
    // A line a power cut left unended is ended first, so that the next step has a line of its own.
    if (taille.QuadPart > 0) {
        char dernier = '\n';
        DWORD lu = 0;
        LARGE_INTEGER fin{};
        fin.QuadPart = taille.QuadPart - 1;
        if (SetFilePointerEx(f.get(), fin, nullptr, FILE_BEGIN) && ReadFile(f.get(), &dernier, 1, &lu, nullptr) && lu == 1
            && dernier != '\n')
            ligne = "\r\n" + ligne;
    }
    if (static_cast<unsigned long long>(taille.QuadPart) + ligne.size() <= taillemaxjournalexecution) {
        DWORD ecrits = 0;
        WriteFile(f.get(), ligne.data(), static_cast<DWORD>(ligne.size()), &ecrits, nullptr);
        return;
    }
    // Full: the newer half and the line replace it whole, as the record is replaced. Only its
    // end is read, however large something else made it.
    LARGE_INTEGER debut{};
    debut.QuadPart = taille.QuadPart - std::min<long long>(taille.QuadPart, taillemaxjournalexecution);
    std::string journal(static_cast<std::size_t>(taille.QuadPart - debut.QuadPart), '\0');
    DWORD lus = 0;
    if (!SetFilePointerEx(f.get(), debut, nullptr, FILE_BEGIN)
        || !ReadFile(f.get(), journal.data(), static_cast<DWORD>(journal.size()), &lus, nullptr))
        return;
    journal.resize(lus);
    f.reset();   // the new text is renamed over it
    libmaj::ecritdurable(chemin, journalavec(journal, ligne, taillemaxjournalexecution));
} catch (...) {
    // A log is never a reason for a run to fail.
}

}  // namespace tidewell
