#include "bring.h"

#include "decode.h"
#include "file_handles.h"

#include <windows.h>

namespace tidewell {

std::optional<Contenu> contenulocal(const std::string& dossier, const Empreinte& fichier, const FormesFichier* formes)
{
    const std::string chemin = dossier + "\\" + fichier.nom;
    const auto taille = taillelocale(dossier, fichier.nom);
    if (!taille || !localautile(fichier, formes, *taille))
        return std::nullopt;
    const auto m = libmaj::mesure(chemin);
    if (!m)
        return std::nullopt;
    return Contenu{m->taille, m->sha256};
}

std::optional<Contenu> contenutenu(const std::string& dossier, const Empreinte& fichier, libmaj::PoigneeFichier& tenu)
{
    tenu.reset(CreateFileA((dossier + "\\" + fichier.nom).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (tenu.get() == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const auto m = libmaj::mesure(tenu.get());
    if (!m)
        return std::nullopt;
    return Contenu{m->taille, m->sha256};
}

std::optional<std::uint64_t> taillelocale(const std::string& dossier, const std::string& nom)
{
    WIN32_FILE_ATTRIBUTE_DATA a{};
    if (!GetFileAttributesExA((dossier + "\\" + nom).c_str(), GetFileExInfoStandard, &a)
        || (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

std::string nomforme(const std::string& destination)
{
    return destination + ".~frm";
}

libmaj::Arrivee apportefichier(const std::vector<Voie>& voies, const std::string& adresse, const std::string& dossier,
                               const Empreinte& fichier, const Voie** utilisee)
{
    const std::string cible = dossier + "\\" + fichier.nom;
    const libmaj::Attendu attendu{fichier.taille, fichier.sha256};
    for (const Voie& v : voies) {
        if (v.sorte == Voie::Sorte::enplace)
            break;
        if (utilisee)
            *utilisee = &v;
        if (v.sorte == Voie::Sorte::entier)
            return libmaj::telechargeverifie(adresse + "/" + v.chemin, cible, attendu);
        // The form is checked whole against its signed hash before the decoder reads a byte.
        const libmaj::Arrivee forme =
            libmaj::telechargeverifie(adresse + "/" + v.chemin, nomforme(cible), {v.forme.taille, v.forme.sha256});
        libmaj::Decodage decodage;
        decodage.fenetrelog = fenetremaxlog;
        if (v.sorte == Voie::Sorte::delta) {
            decodage.base = &cible;
            decodage.contenubase = {v.base.taille, v.base.sha256};
        }
        if (forme) {
            libmaj::Arrivee a = libmaj::decodeverifie(forme, cible, attendu, decodage);
            if (a)
                return a;
        }
    }
    return {};
}

}  // namespace tidewell
