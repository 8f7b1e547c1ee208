#pragma once

#include <cstddef>
#include <cstdint>

namespace kavelin {

// One received command line: its number and its argument text.
//
// The line is not copied: `line` must stay valid, and hold a NUL byte at line[length], while the
// command is executed. A NUL inside the line ends it for the number, the separator and
// the argument text; the whole line (zero bytes included) stays reachable through `line` and
// `lineLength` for the UTF-16 free text of the text commands.
class Command {
public:
    Command(const char* line, size_t length);

    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    int32_t number() const { return number_; }
    const char* arguments() const { return arguments_; }

    const char* line() const { return line_; }
    size_t lineLength() const { return lineLength_; }

    // The six bytes that separate fields: space, tab, LF, VT, FF, CR.
    static bool isWhiteSpace(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

private:
    const char* line_;
    size_t lineLength_;
    int32_t number_ = 0;
    const char* arguments_;
};

} // namespace kavelin
