#pragma once

#include <cstddef>

namespace kavelin {

// Sprite-font paths and the names derived from them fit this many bytes with their NUL.
inline constexpr size_t kFontPathSize = 260;

// The name of a companion file: the path with its extension (from the last '.' after position
// 0, wherever it is) replaced by suffix, or with suffix appended when there is no such dot.
// False, with out empty, when the result does not fit outSize bytes with its NUL.
bool deriveFileName(const char* path, const char* suffix, char* out, size_t outSize);

} // namespace kavelin
