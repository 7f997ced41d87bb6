// tidewell-publish: writes the update server's tree for one application from a release.
//   tidewell-publish --release DIR --out DIR --version V [--subversion S] [--date D]
// DIR/Maj holds the files afterwards; Listfich.ini, Taillefich.ini and Version.ini sit beside
// it. Upload the tree as <server>/Abacor or <server>/Quillon.
#include "publish.h"

#include <cstdio>
#include <ctime>
#include <cstring>
#include <exception>
#include <string>

namespace {

std::string aujourdhui()
{
    const std::time_t t = std::time(nullptr);
    char texte[16];
    std::strftime(texte, sizeof texte, "%d/%m/%Y", std::localtime(&t));
    return texte;
}

int usage()
{
    std::fprintf(stderr, "usage: tidewell-publish --release DIR --out DIR --version V "
                         "[--subversion S] [--date D]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    tidewell::publication::Release release;
    std::string sortie;
    release.date = aujourdhui();
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return usage();
        const std::string valeur = argv[++i];
        if (option == "--release") release.dossier = valeur;
        else if (option == "--out") sortie = valeur;
        else if (option == "--version") release.version = valeur;
        else if (option == "--subversion") release.sousversion = valeur;
        else if (option == "--date") release.date = valeur;
        else return usage();
    }
    if (release.dossier.empty() || sortie.empty())
        return usage();
    tidewell::publication::Resultat resultat;
    try {
        resultat = tidewell::publication::publie(release, sortie);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "refused: %s\n", e.what());
        return 1;
    }
    for (const auto& erreur : resultat.erreurs)
        std::fprintf(stderr, "refused: %s\n", erreur.c_str());
    if (!resultat.erreurs.empty())
        return 1;
    std::printf("published %zu files, %lld KiB, into %s\n", resultat.fichiers.size(), resultat.kilooctets,
                sortie.c_str());
    return 0;
}
