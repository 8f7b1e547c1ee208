#include "text/CharacterMap.h"

#include <array>

namespace kavelin {
namespace {

// Glyph order of the sheet: position i holds the character kGlyphBytes[i].
constexpr uint8_t kGlyphBytes[kGlyphSlots] = {
    '0', '1', '2',  '3',  '4',  '5', '6', '7', '8',  '9', 'A', 'B', 'C',  'D', 'E',  'F',  'G',
    'H', 'I', 'J',  'K',  'L',  'M', 'N', 'O', 'P',  'Q', 'R', 'S', 'T',  'U', 'V',  'W',  'X',
    'Y', 'Z', 0xC5, 0xC4, 0xD6, 'a', 'b', 'c', 'd',  'e', 'f', 'g', 'h',  'i', 'j',  'k',  'l',
    'm', 'n', 'o',  'p',  'q',  'r', 's', 't', 'u',  'v', 'w', 'x', 'y',  'z', 0xE5, 0xE4, 0xF6,
    ' ', '.', ',',  '!',  '?',  '-', '_', '"', '\'', '+', '*', '=', '%',  '&', '#',  ':',  ';',
    '<', '>', '/',  '\\', '(',  ')', '[', ']', '{',  '}', '@', '$', 0xA3, 0x80};

constexpr std::array<uint8_t, 256> buildMap() {
    std::array<uint8_t, 256> map{};
    for (auto& slot : map)
        slot = kSpaceGlyph;
    for (int32_t i = 0; i < kGlyphSlots; ++i)
        map[kGlyphBytes[i]] = static_cast<uint8_t>(i);
    return map;
}

constexpr std::array<uint8_t, 256> kMap = buildMap();

} // namespace

int32_t glyphIndexOf(uint8_t byte) {
    return kMap[byte];
}

uint8_t byteOfGlyph(int32_t index) {
    return index >= 0 && index < kGlyphSlots ? kGlyphBytes[index] : 0;
}

void convertCase(char* text, int32_t mode) {
    if (text == nullptr || (mode != 1 && mode != 2))
        return;
    for (char* p = text; *p != '\0'; ++p) {
        const auto c = static_cast<uint8_t>(*p);
        uint8_t out = c;
        if (mode == 1) {
            if (c >= 'a' && c <= 'z')
                out = static_cast<uint8_t>(c - 'a' + 'A');
            else if (c == 0xE4)
                out = 0xC4;
            else if (c == 0xF6)
                out = 0xD6;
        } else {
            if (c >= 'A' && c <= 'Z')
                out = static_cast<uint8_t>(c - 'A' + 'a');
            else if (c == 0xC4)
                out = 0xE4;
            else if (c == 0xD6)
                out = 0xF6;
        }
        *p = static_cast<char>(out);
    }
}

} // namespace kavelin
