// The maker's check of an upload: what the server serves for one application, fetched and
// judged as a signed updater judges it (the same rules, from release_format and
// release_check), then every listed file and every cheaper form besides, which an updater
// fetches only as it needs them. Built natively only.
#pragma once

#include "fetch_https.h"
#include "publish.h"
#include "release_check.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tidewell::controle {

struct Rapport {
    std::vector<std::string> problemes;   // each: the address, then what is missing or differs
    std::string resume;                   // the closing line
    bool installable = false;             // a signed updater would install the release
};

// What the maker knows of the releases already published: the release and key id that copies
// may have installed (judged as the updater judges its own record), and the maker's tree,
// whose history holds the files that deltas start from.
struct Anterieur {
    std::optional<EtatSigne> installe;
    std::filesystem::path arbre;   // empty: none given
};

// The release the maker's tree holds, as copies that installed it record it; nothing, with
// `erreur` set, when the tree holds no readable signed release of the target `cible`.
std::optional<EtatSigne> etatarbre(const std::filesystem::path& arbre, const std::string& cible, std::string& erreur);

// Checks the application's folder at `adresse` (https://host/Abacor: its last segment names
// the target) against the public key `cle`, on UTC day `aujourdhui` ("YYYY-MM-DD").
Rapport controle(const std::string& adresse, const publication::ClePublique& cle, ClientHttps& client,
                 const std::string& aujourdhui, const Anterieur& anterieur = {});

// The target an address names: its last segment, in capitals.
std::string cibleadresse(std::string adresse);

}  // namespace tidewell::controle
