#include "CommandFixture.h"
#include "commands/CommandTable.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kavelin;

namespace {

// The numbers and the text of a line as its row scans them; "<missing>" when a field is
// missing.
std::string scan(const std::string& line) {
    const Command command(line.c_str(), line.size());
    const CommandRow* row = findCommandRow(command.number());
    if (row == nullptr)
        return "<no row>";
    const Result<std::unique_ptr<Arguments>> parsed = parseArguments(*row, command);
    if (!parsed)
        return "<" + parsed.reason() + ">";
    const Arguments& a = **parsed;
    std::string out;
    size_t numbers = 0;
    for (const FieldSpec& field : row->fields) {
        out += out.empty() ? "" : " ";
        out += field.type == FieldType::Text ? "[" + a.text() + "]" : std::to_string(a[numbers++]);
    }
    return out;
}

std::u16string freeText(const std::string& line) {
    const Command command(line.c_str(), line.size());
    const Result<std::unique_ptr<Arguments>> arguments =
        parseArguments(*findCommandRow(command.number()), command);
    return arguments ? (*arguments)->freeText().units() : u"<missing>";
}

} // namespace

// A text longer than 511 bytes refuses the line: cut short, a path would name another file.
TEST(CommandParsingTest, TextFieldsRunToTheNextTabAndAreAtMost511Bytes) {
    const std::string missing = "<ERROR : Missing arguments for command 64.>";
    EXPECT_EQ(scan("63 5 titles\\big logo.tga"), "5 [titles\\big logo.tga]");
    EXPECT_EQ(scan("63 5 logo.tga\r"), "5 [logo.tga\r]");
    EXPECT_EQ(scan("64 5 clips\\run_\t0 24"), "5 [clips\\run_] 0 24");
    // Without the tab the text swallows the frame numbers, which are then missing.
    EXPECT_EQ(scan("64 5 clips\\run_ 0 24"), missing);
    EXPECT_EQ(scan("65 1 720 100 3 Hello, world\t1 2 40"), "1 720 100 3 [Hello, world] 1 2 40");
    const std::string path(511, 'p');
    EXPECT_EQ(scan("64 2 " + path + "\t3 4"), "2 [" + path + "] 3 4");
    for (const std::string& line :
         {"64 2 " + path + "q\t3 4", "64 2 " + path + "q", "4 1 " + path + "q\t1 2 3 4 5",
          "58 1 " + path + "q\t1 2 3 4 5 6 7 8 9 10 11"})
        EXPECT_EQ(scan(line), "<ERROR : Text too long for command " +
                                  line.substr(0, line.find(' ')) + " (at most 511 bytes).>")
            << line.substr(0, 4);
}

TEST(CommandParsingTest, FieldsInRowOrderWithHexadecimalForFonts) {
    EXPECT_EQ(scan("4 3 Arial\t0x20 1 0 0 0"), "3 [Arial] 32 1 0 0 0");
    EXPECT_EQ(scan("4 3 Times New Roman\t-24 2 1 010 1"), "3 [Times New Roman] -24 2 1 8 1");
    EXPECT_EQ(scan("58 2 fonts\\big.tga\t1 255 128 1 10 20 30 2 40 50 60"),
              "2 [fonts\\big.tga] 1 255 128 1 10 20 30 2 40 50 60");
    EXPECT_EQ(scan("69 1 10 20 2 1 98 99 1 3 4 5"), "1 10 20 2 1 98 99 1 3 4 5");
    EXPECT_EQ(scan("79 4 1 0 1 2 3"), "4 1 0 1 2 3 0"); // the seventh value may be left out
    EXPECT_EQ(scan("103 5 1 10 20 30 200 45 3 2"), "5 1 10 20 30 200 45 3 2");
    EXPECT_EQ(scan("116 extra text is ignored"), "");
}

using CommandParsing = test::CommandFixture;

TEST_F(CommandParsing, MissingFieldsAreRefusedBeforeTheHandler) {
    run("116"); // 121 would otherwise answer with a layer number
    for (const std::string line :
         {"61", "61 ", "66 1 2", "69 1 10 20 2 1 98 99 1 3 4", "79 4 1 0 1 2", "63 5", "63 5 \r",
          "104 1 2 3 4 5 6 7 8 9", "105 x", "121"}) {
        take();
        EXPECT_EQ(run(line), "ERROR") << line;
        EXPECT_EQ(take(), test::Lines{"ERROR : Missing arguments for command " +
                                      line.substr(0, line.find(' ')) + "."});
    }
    EXPECT_EQ(scene.forCommand()->findLayer(0), nullptr);
}

TEST_F(CommandParsing, ReservedAndUnknownNumbers) {
    for (int n : {71, 72, 73, 74, 87, 99, 100, 101}) { // reserved: refused without a word
        EXPECT_EQ(run(std::to_string(n) + " 1 2 3"), "ERROR") << n;
        EXPECT_EQ(take(), test::Lines{}) << n;
    }
    for (int n : {1, 3, 5, 57, 60, 77, 109, 110, 113, 125, 999, -1}) {
        EXPECT_EQ(run(std::to_string(n) + " 1 2 3"), "ERROR") << n;
        EXPECT_EQ(take(), test::Lines{"Unsupported command (" + std::to_string(n) + ")"});
    }
}

// A terminal ends its lines with CR LF: the CR is ignored, so each line gets the reply and the
// log lines it gets without it, except in the UTF-16 text of 104 and 107, where a byte 0x0D
// is part of a code unit.
TEST_F(CommandParsing, ACarriageReturnBeforeTheLineFeedIsIgnoredOutsideFreeText) {
    ASSERT_TRUE(test::writeTga(file("logo.tga"), 3, 2, std::vector<uint32_t>(6, 0x00112233), 24));
    struct Step {
        std::string line, reply;
    };
    const Step steps[] = {
        {"116", "OK 0"},
        {"121 0", "OK 0"},
        {"63 0 " + file("logo.tga"), "OK"}, // a path: the text field runs to the line's end
        {"124 0", "OK 3 2"},
        {"64 0 " + file("no_such_") + "\t0 3", "ERROR"},
        {"4 0 DejaVu Sans\t24 0 0 11 1", "OK"},
        {"", "OK"},
    };
    SharedScene otherScene;
    test::RecordingLog otherLog;
    NoOutputCommands otherOutputs(otherLog, "TestOutput");
    auto other = CommandExecutor::create(otherScene, otherLog, otherOutputs);
    ASSERT_TRUE(other.ok());
    for (const Step& step : steps) {
        take();
        otherLog.clear();
        const std::string crlf = step.line + "\r";
        EXPECT_EQ(run(step.line), step.reply) << step.line;
        EXPECT_EQ((*other)->execute(crlf.c_str(), crlf.size()), step.reply) << step.line;
        EXPECT_EQ(otherLog.lines(), take()) << step.line;
    }
    // Only the last CR goes.
    EXPECT_EQ(run("63 0 " + file("logo.tga") + "\r\r"), "ERROR");
    // "ab" and U+0D05, whose second byte is 0x0D, measure wider than "ab".
    const std::string ab("a\0b\0", 4);
    const std::string measured = run("107 0 " + ab + "\x05\x0D");
    EXPECT_EQ(measured.rfind("OK ", 0), 0u);
    EXPECT_GT(std::atoi(measured.c_str() + 3), std::atoi(run("107 0 " + ab).c_str() + 3));
}

TEST(CommandParsingTest, TrueTypeTextStartsAfterTheTenthBlankOrTheFirst) {
    // "Hi" as UTF-16 with the least significant byte first.
    const std::string hi("H\0i\0", 4);
    EXPECT_EQ(freeText("104 1 10 20 0 255 128 64 200 1 0 " + hi), u"Hi");
    // One blank more early on moves the text one field back: it starts at "0 ".
    EXPECT_EQ(freeText("104 1  10 20 0 255 128 64 200 1 0 " + hi), u"\x2030Hi");
    // Blanks inside the text are kept; a zero code unit ends it; an empty text is allowed.
    EXPECT_EQ(freeText("104 1 0 0 0 0 0 0 0 0 0 " + std::string("a\0 \0b\0\0\0c\0", 10)), u"a b");
    EXPECT_EQ(freeText("104 1 0 0 0 0 0 0 0 0 0"), u"");
    // After 256 bytes without ten blanks the text begins there.
    EXPECT_EQ(
        freeText("104 1 2 3 4 5 6 7 8 9 1" + std::string(256 - 19, '0') + std::string("Z\0", 2)),
        u"Z");

    const std::string ab("A\0B\0", 4);
    EXPECT_EQ(freeText("107 2 " + ab), u"AB");
    EXPECT_EQ(freeText("107 2  " + ab), u"\x4120\x4200");
    // No blank among the first ten characters: the text begins at position 11.
    EXPECT_EQ(freeText("107 0000000002XY" + ab), u"\x4159\x4200");
}

// The README's command table is the program's own reference (kavelin --commands), and every
// example in it is a complete line for its row.
TEST(CommandReferenceTest, TheReadmeTableIsTheReferenceAndItsExamplesParse) {
    std::ifstream readme(std::string(KAVELIN_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(readme);
    std::string line, table;
    bool inTable = false;
    while (std::getline(readme, line)) {
        if (line.rfind("| No. |", 0) == 0)
            inTable = true;
        if (inTable && line.empty())
            break;
        if (inTable)
            table += line + "\n";
    }
    EXPECT_EQ(table, commandReference());

    for (const CommandRow& row : commandRows()) {
        const std::string example = row.example;
        const Command command(example.c_str(), example.size());
        EXPECT_EQ(command.number(), row.number) << example;
        EXPECT_TRUE(parseArguments(row, command)) << example;
        EXPECT_EQ(row.exampleReply[0], 'O') << example; // examples show success
    }
}
