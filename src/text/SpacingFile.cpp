// The spacing file: lines of a key, a tab and a signed number. "default" sets the spacing
// between every two characters; any other key names a pair by its second and fourth bytes.
#include "text/CharacterMap.h"
#include "text/SpriteFont.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>

namespace kavelin {
namespace {

constexpr size_t kMaxLine = 253;
constexpr size_t kMaxKey = 63;

// An optionally signed decimal number after white space, clamped to 32 bits; false when there
// are no digits.
bool parseNumber(const char* p, int32_t& value) {
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*p)))
        return false;
    int64_t v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
        if (v <= INT64_C(1) << 40)
            v = v * 10 + (*p - '0');
    if (negative)
        v = -v;
    value = static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    return true;
}

} // namespace

void SpriteFont::applySpacingLine(const char* line) {
    if (line == nullptr)
        return;
    // The key runs up to the tab; without a tab there is no number to read.
    const char* tab = std::strchr(line, '\t');
    const size_t keyLength = tab != nullptr ? size_t(tab - line) : std::strlen(line);
    if (tab == nullptr || keyLength == 0 || keyLength > kMaxKey)
        return;
    int32_t value = 0;
    if (!parseNumber(tab + 1, value))
        return;
    if (keyLength == 7 && std::memcmp(line, "default", 7) == 0) {
        defaultSpacing_ = value;
        return;
    }
    // A pair key needs its fourth byte.
    if (keyLength < 4)
        return;
    const int32_t first = glyphIndexOf(static_cast<uint8_t>(line[1]));
    const int32_t second = glyphIndexOf(static_cast<uint8_t>(line[3]));
    spacing_[static_cast<size_t>(first) * 256 + static_cast<size_t>(second)] = value;
}

void SpriteFont::readSpacing(std::string_view text) {
    // A longer line is read in pieces of kMaxLine bytes, each taken as a line of its own.
    char line[kMaxLine + 1];
    while (!text.empty()) {
        const size_t lineEnd = text.find('\n');
        const size_t take =
            std::min(kMaxLine, lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        std::memcpy(line, text.data(), take);
        line[take] = 0;
        applySpacingLine(line);
        text.remove_prefix(take);
    }
}

} // namespace kavelin
