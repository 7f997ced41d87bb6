#include "run_log_text.h"

#include <algorithm>

namespace tidewell {

std::string lignejournal(const std::string& horodatage, const std::string& texte)
{
    std::string ligne = horodatage + " " + texte;
    std::replace(ligne.begin(), ligne.end(), '\r', ' ');
    std::replace(ligne.begin(), ligne.end(), '\n', ' ');
    return ligne + "\r\n";
}

std::string journalavec(const std::string& journal, const std::string& ajout, std::size_t taillemax)
{
    if (journal.size() + ajout.size() <= taillemax)
        return journal + ajout;
    const std::size_t garde = std::min(journal.size(), taillemax / 2);
    const std::size_t debut = journal.find("\r\n", journal.size() - garde);
    return (debut == std::string::npos ? std::string() : journal.substr(debut + 2)) + ajout;
}

std::string sensducode(const std::string& code)
{
    struct Sens {
        const char* code;
        const char* sens;
    };
    static const Sens exacts[] = {
        {"S1", "no manifest or signature on the server (missing, an error page, no connection)"},
        {"S2", "a malformed signature file, or a key this build does not carry"},
        {"S3", "the signature does not verify"},
        {"S4", "the manifest names another key than its signature"},
        {"S5", "another application's manifest"},
        {"S6", "a key retired by a rotation"},
        {"S7", "a release older than the last one installed, or below the build's floor"},
        {"S8", "the manifest is past its expiry"},
        {"S9", "an update file missing or not the signed bytes"},
        {"S10", "the file list is not the manifest's"},
        {"P1", "too little free space on the volume"},
        {"P2", "the record Etatmaj.ini cannot be replaced"},
        {"P3", "something that is no lock sits under the lock's name"},
        {"I0", "the install journal could not be written; no file changed"},
        {"R0", "the journal could not be read or removed, or the release could not be recorded"},
    };
    for (const Sens& s : exacts)
        if (code == s.code)
            return s.sens;
    switch (code.empty() ? ' ' : code[0]) {
    case 'M': return "a malformed manifest";
    case 'F': return "that listed file did not arrive whole and as signed";
    case 'I': return "that listed file could not be backed up or put in place; no file changed";
    case 'R': return "that file of an interrupted or undone install could not be judged or put back";
    default: return "unknown";
    }
}

}  // namespace tidewell
