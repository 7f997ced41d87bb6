#include "bring.h"

#include "decode.h"
#include "file_handles.h"
#include "text.h"

#include <windows.h>

#include <algorithm>

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

namespace {

// One way on one address.
libmaj::Arrivee apportepar(const Voie& v, const std::string& adresse, const std::string& cible, const Empreinte& fichier,
                           libmaj::Transfert& t)
{
    const libmaj::Attendu attendu{fichier.taille, fichier.sha256};
    if (v.sorte == Voie::Sorte::entier)
        return libmaj::telechargeverifie(adresse + "/" + v.chemin, cible, attendu, &t);
    // The form is checked whole against its signed hash before the decoder reads a byte.
    const libmaj::Arrivee forme =
        libmaj::telechargeverifie(adresse + "/" + v.chemin, nomforme(cible), {v.forme.taille, v.forme.sha256}, &t);
    if (!forme)
        return {};
    libmaj::Decodage decodage;
    decodage.fenetrelog = fenetremaxlog;
    if (v.sorte == Voie::Sorte::delta) {
        decodage.base = &cible;
        decodage.contenubase = {v.base.taille, v.base.sha256};
    }
    return libmaj::decodeverifie(forme, cible, attendu, decodage);
}

// The names a partial download of the way's content is kept under in the folder.
std::string partielde(const Voie& v, const Empreinte& fichier)
{
    return v.sorte == Voie::Sorte::entier ? libmaj::nompartiel(fichier.nom, fichier.sha256)
                                          : libmaj::nompartiel(nomforme(fichier.nom), v.forme.sha256);
}

}  // namespace

libmaj::Arrivee apportefichier(const std::vector<Voie>& voies, Sources& sources, const std::string& dossier,
                               const Empreinte& fichier, Apport& apport)
{
    const std::string cible = dossier + "\\" + fichier.nom;
    const std::size_t nombre = sources.adresses.size();
    sources.sansformes.resize(nombre, false);
    if (voies.empty() || voies.front().sorte == Voie::Sorte::enplace)
        return {};
    // Brought whole by an earlier run that another file failed: no way need fetch it again.
    if (libmaj::Arrivee gardee = libmaj::reprendentier(cible, {fichier.taille, fichier.sha256})) {
        apport = Apport{&voies.back(), sources.premiere, {}, apport.recus};
        apport.garde = true;
        return gardee;
    }
    for (std::size_t k = 0; k < nombre; ++k) {
        const std::size_t a = (sources.premiere + k) % nombre;
        for (std::size_t w = 0; w < voies.size(); ++w) {
            const Voie& v = voies[w];
            const bool forme = v.sorte != Voie::Sorte::entier;
            if (forme && sources.sansformes[a])
                continue;
            apport = Apport{&v, a, {}, apport.recus};
            libmaj::Arrivee arrivee = apportepar(v, sources.adresses[a], cible, fichier, apport.transfert);
            apport.recus += apport.transfert.recus;
            if (arrivee) {
                sources.premiere = a;
                return arrivee;
            }
            if (!forme) {
                if (apport.transfert.injoignable)
                    break;   // down: the next address
                continue;
            }
            // Bytes kept of a form cut short go once it has failed: another way comes in its
            // stead, and the room set aside holds one form at a time.
            libmaj::abandonnepartiel(nomforme(cible), v.forme.sha256);
            // An address that serves its files but drops what is asked of its forms (a proxy,
            // a rule of its own) costs one wait for the whole run, never the file.
            if (apport.transfert.injoignable)
                sources.sansformes[a] = true;
        }
    }
    return {};
}

bool nettoiepartiels(const std::string& dossier, const Manifeste& m, const std::vector<std::vector<Voie>>& plans)
{
    std::vector<std::string> gardes;
    for (std::size_t i = 0; i < plans.size() && i < m.fichiers.size(); ++i)
        for (const Voie& v : plans[i])
            if (v.sorte != Voie::Sorte::enplace)
                gardes.push_back(libmaj::majuscules(partielde(v, m.fichiers[i])));
    WIN32_FIND_DATAA d;
    libmaj::Recherche recherche(FindFirstFileA((dossier + "\\*.~prt").c_str(), &d));
    if (recherche.get() == INVALID_HANDLE_VALUE) {
        recherche.release();
        return false;
    }
    std::vector<std::string> partiels;
    do {
        if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && libmaj::nompartielde(d.cFileName))
            partiels.push_back(d.cFileName);
    } while (FindNextFileA(recherche.get(), &d));
    bool enleve = false;
    for (const std::string& p : partiels)
        if (std::find(gardes.begin(), gardes.end(), libmaj::majuscules(p)) == gardes.end()) {
            enleve |= libmaj::effacepropre(dossier + "\\" + p);
        }
    return enleve;
}

}  // namespace tidewell
