// The zstd frames of a signed publication's cheaper forms, made with the reference library:
// a file compressed, and a delta that turns a base into the file.
#pragma once

#include <string>

namespace tidewell::publication {

// The file compressed at a high level with a long window; empty on failure.
std::string compressezstd(const std::string& fichier);

// A frame that turns `base` into `fichier` with `base` as its prefix (zstd's --patch-from);
// empty on failure.
std::string deltazstd(const std::string& base, const std::string& fichier);

// What a frame decodes to, with `base` as its prefix when given, under the decoder's window
// bound; nothing (and false) when it does not decode. The tool checks every form it writes
// this way, so that no release offers a form that does not turn into its file.
bool decodezstd(const std::string& frame, const std::string* base, std::string& resultat);

}  // namespace tidewell::publication
