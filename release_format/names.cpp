#include "names.h"

#include "text.h"

#include <algorithm>

namespace tidewell {

namespace {

// A name the platform keeps for a device, in any folder and with any extension: the code
// page's superscript digits count as digits there too.
bool nomdeperipherique(const std::string& segment)
{
    std::string base = libmaj::majuscules(segment.substr(0, segment.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0))
        return false;
    const unsigned char n = static_cast<unsigned char>(base[3]);
    return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
}

bool finit(const std::string& nom, const char* fin)
{
    const std::string f = fin;
    return nom.size() >= f.size() && libmaj::majuscules(nom.substr(nom.size() - f.size())) == f;
}

}  // namespace

bool nomsur(const std::string& nom)
{
    if (nom.empty() || nom[0] == '\\' || nom[0] == '/')
        return false;
    for (unsigned char c : nom)
        if (c < 32 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
            return false;
    // The updater's own backups and partial downloads: such a file would be deleted as one.
    if (finit(nom, ".SAV") || finit(nom, ".~MAJ"))
        return false;
    std::size_t debut = 0;
    while (debut <= nom.size()) {
        const auto fin = nom.find_first_of("\\/", debut);
        const std::string segment = nom.substr(debut, fin == std::string::npos ? std::string::npos : fin - debut);
        // The platform drops a trailing dot or space, so such a segment ("x.", ".", "...", or
        // an empty one) would land under another name, or be the folder itself.
        if (segment.empty() || segment.back() == '.' || segment.back() == ' ')
            return false;
        if (nomdeperipherique(segment))
            return false;
        if (fin == std::string::npos)
            break;
        debut = fin + 1;
    }
    return true;
}

bool nomsigne(const std::string& nom)
{
    const std::string haut = libmaj::majuscules(nom);
    // Never a sub-folder: the maker's tool makes none, and a folder in the application's
    // folder may be a link (a junction needs no privilege) leading anywhere.
    return nomsur(nom) && nom.find_first_of("\\/") == std::string::npos && haut != libmaj::majuscules(nometat)
           && haut != libmaj::majuscules(nomtirage)
           && haut != libmaj::majuscules(nomjournal) && haut != libmaj::majuscules(nomverrou)
           && haut != libmaj::majuscules(nomjournalexecution) && haut != libmaj::majuscules(nomrelais) && !finit(haut, ".~PRT") && !finit(haut, ".~FRM");
}

bool memefichier(const std::string& a, const std::string& b)
{
    std::string x = libmaj::majuscules(a), y = libmaj::majuscules(b);
    std::replace(x.begin(), x.end(), '/', '\\');
    std::replace(y.begin(), y.end(), '/', '\\');
    return x == y;
}

}  // namespace tidewell
