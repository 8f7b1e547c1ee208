#pragma once

#include <cstddef>
#include <string>

namespace kavelin {

// UTF-16 text as it stands in a command line: code units least significant byte first,
// ending at the first zero code unit or at the end of the bytes (an odd last byte is no unit).
struct Utf16Text {
    const unsigned char* bytes = nullptr;
    size_t size = 0;

    std::u16string units() const {
        std::u16string out;
        for (size_t i = 0; i + 1 < size; i += 2) {
            const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
            if (unit == 0)
                break;
            out.push_back(unit);
        }
        return out;
    }
};

} // namespace kavelin
