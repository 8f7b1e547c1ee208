#pragma once

#include <cstdint>

namespace kavelin {

// Font numbers are fixed slots 0 .. kFontNumbers - 1; each carries a sprite font, a TrueType
// font and a reservation flag.
inline constexpr int32_t kFontNumbers = 50;

inline bool validFontNumber(int32_t font) {
    return font >= 0 && font < kFontNumbers;
}

} // namespace kavelin
