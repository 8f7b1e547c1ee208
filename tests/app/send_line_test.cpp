// Lines of `kavelin send` as they go on the wire: the UTF-16 text of 104 and 107, and the lines
// that must not be sent.
#include "app/SendLine.h"

#include <gtest/gtest.h>

using namespace kavelin;

namespace {

// UTF-16LE bytes of code units.
std::string units(std::initializer_list<char16_t> list) {
    std::string out;
    for (char16_t u : list)
        out += {char(u & 0xFF), char(u >> 8)};
    return out;
}

} // namespace

TEST(SendLineTest, TextOf104And107BecomesUtf16WhereTheServerReadsIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"107 0 Grüße", "107 0 " + units({u'G', u'r', 0xFC, u'ß', u'e'}) + "\n"},
        // The text begins after the tenth blank; the blanks inside it are text.
        {"104 0 10 10 0 255 255 255 255 1 0 a b",
         "104 0 10 10 0 255 255 255 255 1 0 " + units({u'a', u' ', u'b'}) + "\n"},
        // Beyond the basic plane: a surrogate pair.
        {"107 3 \xF0\x9F\x98\x80", "107 3 " + units({0xD83D, 0xDE00}) + "\n"},
        // A carriage return before the line's end is the input's, not the text's.
        {"107 0 ab\r", "107 0 " + units({u'a', u'b'}) + "\n"},
        {"107 0 ", "107 0 \n"},
        {"107", "107\n"},
        // Other commands go as they are, whatever their bytes.
        {"63 0 bilder/Grüße.tga", "63 0 bilder/Grüße.tga\n"},
        {"63 0 \xFF\xFE.tga\r", "63 0 \xFF\xFE.tga\n"},
        {"", "\n"},
    };
    for (const auto& [line, wire] : cases) {
        const Result<std::string> sent = sendableLine(line);
        ASSERT_TRUE(sent) << line << ": " << sent.reason();
        EXPECT_EQ(*sent, wire) << line;
    }
}

TEST(SendLineTest, LinesTheServerWouldMisreadAreRefused) {
    const std::pair<std::string, std::string> cases[] = {
        // U+4E0A, U+0A05 and U+010A hold a byte 0x0A; so does the low surrogate of U+1000A.
        {"107 0 上", "U+4E0A holds a byte 0x0A in UTF-16, which would end the line"},
        {"104 0 1 1 0 9 9 9 255 0 0 \xE0\xA8\x85", "U+0A05 holds a byte 0x0A"},
        {"107 0 \xF0\x90\x80\x8A", "U+1000A holds a byte 0x0A"},
        // Not UTF-8: a stray continuation byte, an overlong form, a surrogate, a cut sequence.
        {"107 0 \x80", "not UTF-8"},
        {"107 0 \xED\xA0\x80", "not UTF-8"},
        {"107 0 \xE4\xB8", "not UTF-8"},
        // 515 bytes in, 1024 as UTF-16: one more than the server reads in a line.
        {"107 0 " + std::string(509, 'a'), "longer than 1023 bytes"},
        {std::string(1024, '0'), "longer than 1023 bytes"},
    };
    for (const auto& [line, reason] : cases) {
        const Result<std::string> sent = sendableLine(line);
        ASSERT_FALSE(sent) << line;
        EXPECT_NE(sent.reason().find(reason), std::string::npos) << sent.reason();
    }
    // The longest line that fits still goes.
    EXPECT_TRUE(sendableLine("107 0 " + std::string(508, 'a')));
}
