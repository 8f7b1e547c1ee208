#include "app/SendLine.h"

#include "commands/Command.h"
#include "commands/CommandTable.h"
#include "net/LineReader.h"

#include <cstdint>
#include <cstdio>

namespace kavelin {

namespace {

void appendUnit(std::string& out, uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

uint32_t unitAt(const std::string& units, size_t k) {
    return static_cast<uint8_t>(units[k]) |
           static_cast<uint32_t>(static_cast<uint8_t>(units[k + 1])) << 8;
}

// The first character whose UTF-16LE bytes hold a line feed, or 0.
uint32_t firstWithLineFeed(const std::string& units) {
    for (size_t k = 0; k + 1 < units.size(); k += 2) {
        const uint32_t unit = unitAt(units, k);
        const bool pair = unit >= 0xD800 && unit < 0xDC00 && k + 3 < units.size();
        const uint32_t low = pair ? unitAt(units, k + 2) : 0;
        if ((unit & 0xFF) == 0x0A || (unit >> 8) == 0x0A || (low & 0xFF) == 0x0A)
            return pair ? 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00) : unit;
        if (pair)
            k += 2;
    }
    return 0;
}

} // namespace

Result<std::string> utf16leOf(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    for (size_t i = 0; i < utf8.size();) {
        const auto byte = [&](size_t k) { return static_cast<uint8_t>(utf8[k]); };
        const uint8_t lead = byte(i);
        const size_t length = lead < 0x80                   ? 1
                              : lead >= 0xC2 && lead < 0xE0 ? 2
                              : lead >= 0xE0 && lead < 0xF0 ? 3
                              : lead >= 0xF0 && lead < 0xF5 ? 4
                                                            : 0;
        if (length == 0 || i + length > utf8.size())
            return failure("the text is not UTF-8");
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return failure("the text is not UTF-8");
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return failure("the text is not UTF-8");
        if (code >= 0x10000) {
            appendUnit(out, 0xD800 + ((code - 0x10000) >> 10));
            appendUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            appendUnit(out, code);
        }
        i += length;
    }
    return out;
}

Result<std::string> sendableLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::string out(line);
    // The server reads the line with a NUL after it.
    const Command command(out.c_str(), out.size());
    if (const char* start = freeTextStart(command); start != nullptr) {
        const size_t at = static_cast<size_t>(start - out.c_str());
        const std::string_view text = line.substr(std::min(at, line.size()));
        Result<std::string> units = utf16leOf(text);
        if (!units)
            return units.error();
        if (const uint32_t code = firstWithLineFeed(*units); code != 0) {
            char reason[96];
            std::snprintf(reason, sizeof reason,
                          "U+%04X holds a byte 0x0A in UTF-16, which would end the line", code);
            return failure(reason);
        }
        out.resize(std::min(at, out.size()));
        out += *units;
    }
    if (out.size() > LineReader::kMaxLine)
        return failure("the line is longer than " + std::to_string(LineReader::kMaxLine) +
                       " bytes");
    out += '\n';
    return out;
}

} // namespace kavelin
