// Which skin the editor shows, as the preset bank keeps it: the effect chooses it for its host,
// the editor reads it when it opens.
#pragma once

namespace kel::presets {

inline constexpr int kTallLayoutSelector = 0; // pedal skin
inline constexpr int kWideLayoutSelector = 1;

} // namespace kel::presets
