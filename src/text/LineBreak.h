#pragma once

#include <cstddef>
#include <string_view>

namespace kavelin {

// Code units a wrapped line may break at: tab, line feed, vertical tab, form feed, carriage
// return, space, and the Unicode space separators above 255.
constexpr bool isBreakSpace(char16_t unit) {
    if ((unit >= 9 && unit <= 13) || unit == 32)
        return true;
    if (unit <= 255)
        return false;
    return unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x202F ||
           unit == 0x205F || unit == 0x3000;
}

// Where the next wrapped line ends: its length in code units, and how many units it uses up.
struct LineBreak {
    size_t length = 0;
    size_t consumed = 0;
};

// Given the units that fit (at least 1), the line ends at the last white space within the fit
// or right after it, or at the end of the text, and that one unit is used up; without one the
// word is cut after the fit.
constexpr LineBreak breakLine(std::u16string_view rest, size_t fit) {
    for (size_t i = fit; i >= 1; --i)
        if (i >= rest.size() || isBreakSpace(rest[i]))
            return {i, i + 1};
    return {fit, fit};
}

} // namespace kavelin
