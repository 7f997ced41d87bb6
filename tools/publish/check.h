// The maker's check of an upload: what the server serves for one application, fetched and
// judged as a signed updater judges it (the same rules, from release_format and
// release_check), then every listed file and every cheaper form besides, which an updater
// fetches only as it needs them. Built natively only.
#pragma once

#include "fetch_https.h"
#include "publish.h"

#include <string>
#include <vector>

namespace tidewell::controle {

struct Rapport {
    std::vector<std::string> problemes;   // each: the address, then what is missing or differs
    std::string resume;                   // the closing line
    bool installable = false;             // a signed updater would install the release
};

// Checks the application's folder at `adresse` (https://host/Abacor: its last segment names
// the target) against the public key `cle`, on UTC day `aujourdhui` ("YYYY-MM-DD").
Rapport controle(const std::string& adresse, const publication::ClePublique& cle, ClientHttps& client,
                 const std::string& aujourdhui);

}  // namespace tidewell::controle
