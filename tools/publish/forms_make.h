// The cheaper forms of one file: compressed, and deltas from its earlier versions, each
// decoded again before it is offered, for the files of a release and for the updater a
// release offers alike.
#pragma once

#include "forms.h"
#include "manifest.h"
#include "signer.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tidewell::publication {

// What the forms of one file need from the publication around them.
struct Fabrique {
    const Signataire& s;
    std::filesystem::path provisoire;   // the folder whose Formes/ receives the forms
    std::vector<std::string>& remarques;
};

// The cheaper forms of one file into `ff`, each written under the Formes/ of the maker's
// folder and decoded again before it is offered: the compressed file, then a delta from each
// base (`depuis`: folders holding an earlier version under the file's name), made with each
// setting and the smallest kept. An error text only for a file that changed; a form that
// cannot be made is simply not offered. `ecrites`: what it may have written.
std::string formesfichier(const Fabrique& fab, const std::filesystem::path& source, const Empreinte& f,
                          const std::vector<std::filesystem::path>& depuis, FormesFichier& ff,
                          std::vector<std::filesystem::path>& ecrites);

}  // namespace tidewell::publication
