// The install step of a signed release of 50 files of 100 KB over 50 older ones: as a
// transaction (journal, every backup kept until every file is in place, state record), and file
// by file as an unsigned run replaces them. Prints the best of several rounds of each; fails
// only when an install does not leave every file new.
#include "install.h"
#include "signature_check.h"
#include "testsupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double seconds()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace

int main()
{
    const char* server = std::getenv("TIDEWELL_TEST_SERVER");
    if (!server)
        return 2;
    const std::string url = std::string(server) + "/bench/install.bin";
    const std::string content = testsupport::generated(100000);
    tidewell::Manifeste m;
    m.cible = "ABACOR";
    m.edition = 1;
    m.cle = 1;
    for (int i = 0; i < 50; ++i)
        m.fichiers.push_back({"F" + std::to_string(i) + ".dat", content.size(), libmaj::sha256(content)});

    double best[2] = {1e9, 1e9};
    for (int round = 0, rounds = testsupport::passerapide() ? 2 : 10; round < rounds; ++round) {
        const bool transaction = round % 2 == 0;
        testsupport::TempFolder folder("tidewell-install-bench");
        std::vector<libmaj::Arrivee> arrivees;
        for (const auto& f : m.fichiers) {
            testsupport::writeFile(folder / f.nom, std::string(content.size(), 'o'));
            arrivees.push_back(libmaj::telechargeverifie(url, folder / f.nom, {f.taille, f.sha256}));
            if (!arrivees.back()) {
                std::fprintf(stderr, "the download of %s failed\n", f.nom.c_str());
                return 1;
            }
        }
        const double start = seconds();
        bool installed = true;
        if (transaction)
            installed = tidewell::installerelease(arrivees, m, folder.path()).empty();
        else
            for (auto& a : arrivees)
                installed = a.remplace() == 1 && installed;
        const double taken = seconds() - start;
        for (const auto& f : m.fichiers)
            installed = installed && testsupport::readFile(folder / f.nom) == content;
        if (!installed) {
            std::fprintf(stderr, "an install %s left a file old\n", transaction ? "as a transaction" : "file by file");
            return 1;
        }
        double& b = best[transaction ? 0 : 1];
        b = std::min(b, taken);
    }
    std::printf("install step, 50 files of 100 KB: as a transaction %.1f ms, file by file %.1f ms; ratio %.2f "
                "(target <= 2)\n", best[0] * 1000, best[1] * 1000, best[0] / best[1]);
    return 0;
}
