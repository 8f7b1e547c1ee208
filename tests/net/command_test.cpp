#include "net/Command.h"
#include "net/TextString.h"

#include <gtest/gtest.h>

#include <string>

using kavelin::Command;
using kavelin::TextString;

namespace {

struct Parsed {
    int number;
    std::string arguments;
};

// The line as the server hands it over: the bytes before the line feed, NUL behind them.
Parsed parse(const std::string& line) {
    Command c(line.c_str(), line.size());
    return {c.number(), c.arguments()};
}

} // namespace

TEST(CommandLineGrammar, NumberAndSeparator) {
    EXPECT_EQ(parse("5").number, 5);
    EXPECT_EQ(parse("5").arguments, "");
    EXPECT_EQ(parse("5 10 20").arguments, "10 20");
    EXPECT_EQ(parse("5  10").arguments, " 10");
    EXPECT_EQ(parse("5\t10").arguments, "10");
    // Leading white space is skipped for the number but is itself the separator.
    EXPECT_EQ(parse(" 5 10").number, 5);
    EXPECT_EQ(parse(" 5 10").arguments, "5 10");
    EXPECT_EQ(parse("5x 10").number, 5);
    EXPECT_EQ(parse("5x 10").arguments, "10");
    EXPECT_EQ(parse("-3 x").number, -3);
    EXPECT_EQ(parse("+7 x").number, 7);
    EXPECT_EQ(parse("\v\f12\x0b").number, 12);
}

TEST(CommandLineGrammar, CarriageReturnIsKept) {
    EXPECT_EQ(parse("5 abc\r").arguments, "abc\r");
    // The CR is the first white space, hence the separator.
    EXPECT_EQ(parse("5\r").number, 5);
    EXPECT_EQ(parse("5\r").arguments, "");
}

TEST(CommandLineGrammar, LinesWithoutANumberAreZero) {
    EXPECT_EQ(parse("").number, 0);
    EXPECT_EQ(parse("hello").number, 0);
    EXPECT_EQ(parse("hello").arguments, "");
    EXPECT_EQ(parse("- 5").number, 0);
    // Bytes of 0x80 and above are not white space.
    EXPECT_EQ(parse("5\xa0x y").arguments, "y");
}

TEST(CommandLineGrammar, NulEndsTheLineButTheWholeLineStaysReachable) {
    const std::string line("6\0 1 2", 6);
    Command c(line.c_str(), line.size());
    EXPECT_EQ(c.number(), 6);
    EXPECT_STREQ(c.arguments(), "");
    EXPECT_EQ(c.lineLength(), 6u);
    EXPECT_EQ(std::string(c.line(), c.lineLength()), line);

    const std::string digits("1\0"
                             "23 4",
                             6);
    EXPECT_EQ(parse(digits).number, 1);
}

TEST(CommandLineGrammar, OutOfRangeNumbersSaturate) {
    EXPECT_EQ(parse("99999999999999999999 1").number, INT32_MAX);
    EXPECT_EQ(parse("-99999999999999999999 1").number, INT32_MIN);
    EXPECT_EQ(parse("2147483647").number, INT32_MAX);
    EXPECT_EQ(parse("-2147483648").number, INT32_MIN);
}

TEST(CommandResult, SetResultKeepsACopy) {
    const std::string line = "105 1";
    Command c(line.c_str(), line.size());
    EXPECT_EQ(c.result(), nullptr);
    char text[] = "10 20";
    c.setResult(text);
    text[0] = 'x';
    ASSERT_NE(c.result(), nullptr);
    EXPECT_STREQ(c.result()->text(), "10 20");
    c.setResult("");
    ASSERT_NE(c.result(), nullptr);
    EXPECT_EQ(c.result()->length(), 0);
}

TEST(TextStringTest, AssignAndAppend) {
    TextString s;
    EXPECT_STREQ(s.text(), "");
    EXPECT_EQ(s.length(), 0);
    EXPECT_TRUE(s.assign("OK"));
    EXPECT_TRUE(s.append(" "));
    TextString result("10 20");
    EXPECT_TRUE(s.append(&result));
    EXPECT_STREQ(s.text(), "OK 10 20");
    EXPECT_EQ(s.length(), 8);

    EXPECT_FALSE(s.append(""));
    EXPECT_FALSE(s.append(static_cast<const char*>(nullptr)));
    TextString empty;
    EXPECT_FALSE(s.append(&empty));
    EXPECT_FALSE(s.append(static_cast<const TextString*>(nullptr)));
    EXPECT_STREQ(s.text(), "OK 10 20");

    EXPECT_TRUE(s.append(&s)); // appending itself reads the old text
    EXPECT_STREQ(s.text(), "OK 10 20OK 10 20");

    EXPECT_FALSE(s.assign(""));
    EXPECT_STREQ(s.text(), "");
    EXPECT_EQ(s.length(), 0);
}

TEST(TextStringTest, FormattingCutsAtTheLimit) {
    TextString cut(16, "%s", "12345678901234567890");
    EXPECT_EQ(cut.length(), 16);
    EXPECT_STREQ(cut.text(), "1234567890123456");
    TextString exact(16, "%d.%d.%d.%d", 127, 0, 0, 1);
    EXPECT_STREQ(exact.text(), "127.0.0.1");
    EXPECT_EQ(exact.length(), 9);
    TextString none(16, nullptr);
    EXPECT_STREQ(none.text(), "");
}

TEST(TextStringTest, CopyRangeChecksItsBounds) {
    TextString s("abcdef");
    char out[8] = "-------";
    EXPECT_TRUE(s.copyRange(1, 4, out, 2));
    EXPECT_STREQ(out, "--bcd--");
    EXPECT_FALSE(s.copyRange(-1, 2, out, 0));
    EXPECT_FALSE(s.copyRange(3, 3, out, 0));
    EXPECT_FALSE(s.copyRange(0, 7, out, 0));
    EXPECT_FALSE(s.copyRange(0, 2, out, -1));
    EXPECT_FALSE(s.copyRange(0, 2, nullptr, 0));
    EXPECT_STREQ(out, "--bcd--");
}
