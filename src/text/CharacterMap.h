#pragma once

#include <cstdint>

namespace kavelin {

// Sprite-font text is Windows-1252; every byte maps to one of kGlyphSlots glyph positions of
// the sheet, and bytes without a glyph of their own use the space glyph.
inline constexpr int32_t kGlyphSlots = 99;
inline constexpr int32_t kSpaceGlyph = 68;

int32_t glyphIndexOf(uint8_t byte);
// The byte that the glyph at `index` stands for (the first one for the space glyph); 0 for an
// index outside 0 .. kGlyphSlots - 1.
uint8_t byteOfGlyph(int32_t index);

// Mode 1: upper case, mode 2: lower case, in place; å and Å have no partner and stay.
void convertCase(char* text, int32_t mode);

} // namespace kavelin
