// The progress display's arithmetic: percentages, bar widths and the time estimate.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tidewell {

// Percentage after file i of n, rounded, halves to even (3 files: 33, 67, 100).
std::int32_t pourcentage(int i, int n);

// Width of the bar for a percentage of the full width, rounded the same way.
std::int32_t largeurbarre(std::int32_t pleine, std::int32_t pourcent);

// The estimated total time, from the first file: its download took `ecoule` seconds for
// `taillepremier` bytes, the update is `taillemaj` kilobytes in `nombre` files, each followed
// by half a second's pause. None when there is no size or the first file has none.
std::optional<std::string> estimation(std::int16_t langue, double ecoule, std::int32_t taillemaj,
                                      double taillepremier, int nombre);

}  // namespace tidewell
