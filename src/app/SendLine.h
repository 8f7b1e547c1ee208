#pragma once

#include "base/Result.h"

#include <string>
#include <string_view>

namespace kavelin {

// One line of `kavelin send`'s input made ready for the server: a carriage return at its end
// is dropped (a file written on Windows), and the text of 104 and 107, UTF-8 in the input, is
// turned into the UTF-16LE that the server reads there. The text begins where the server looks
// for it (the same rule, on the same bytes before it). The line comes back with its line feed.
//
// Refused, with the reason: a text that is not UTF-8; a text with a character whose UTF-16 form
// holds a byte 0x0A (U+000A, U+0A00 to U+0AFF, and every U+xx0A such as U+4E0A), which the
// server would take for the end of the line; a line longer than the server reads.
Result<std::string> sendableLine(std::string_view line);

// UTF-8 as UTF-16LE bytes; none for bytes that are not UTF-8 (overlong forms, surrogates and
// code points above U+10FFFF included).
Result<std::string> utf16leOf(std::string_view utf8);

} // namespace kavelin
