// Texts that the update run shows itself, in the code page 1252 bytes the platform takes.
#pragma once

#include <cstdint>
#include <string>

namespace tidewell {

// The message shown when there is no application to update: the information header with
// its rule of 45 underscores, then the sentence in the language of the code (0 and 1
// French, 2 English, any other code no sentence).
std::string messageintrouvable(std::int16_t langue, const std::string& sautligne);

}  // namespace tidewell
