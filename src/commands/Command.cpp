#include "commands/Command.h"

#include <cstdint>

namespace kavelin {

namespace {

// Leading signed decimal number; 0 when there are no digits. Values beyond the 32-bit range
// saturate, so they name no command.
int32_t parseNumber(const char* p) {
    while (Command::isWhiteSpace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT64_C(0x80000000))
            value = INT64_C(0x80000000);
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

} // namespace

Command::Command(const char* line, size_t length)
    : line_(line), lineLength_(length), number_(parseNumber(line)), arguments_(line) {
    // The separator is the first white-space byte anywhere in the line, not behind the number.
    const char* p = line;
    while (*p != 0 && !isWhiteSpace(static_cast<unsigned char>(*p)))
        ++p;
    arguments_ = *p == 0 ? p : p + 1;
}

} // namespace kavelin
