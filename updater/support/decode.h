// Turning a cheaper form of a signed file (a zstd frame, alone or as a delta from the local
// copy) into the file itself, beside its destination.
#pragma once

#include "internet.h"

#include <string>

namespace libmaj {

// What the decoder takes at most: a frame's window of 2^fenetrelog bytes.
struct Decodage {
    int fenetrelog = 27;
    // A delta's base: the local file, which must hold `contenubase` while it is read.
    const std::string* base = nullptr;
    Attendu contenubase;
};

// Decodes the arrived form `forme` (whose signed hash has matched) into a new temporary
// file beside `destination`; the arrival holds it, as a download would, when it is exactly
// `attendu`. Nothing for a frame that is not one whole zstd frame of exactly that size, asks
// for a larger window than allowed (refused before anything is allocated for it), or names a
// base that the local file no longer holds.
Arrivee decodeverifie(const Arrivee& forme, const std::string& destination, const Attendu& attendu,
                      const Decodage& decodage);

}  // namespace libmaj
