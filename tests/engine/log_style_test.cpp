// Log lines for machines: the level each kind of line gets, and how a timestamped or journal
// stream shows it.
#include "engine/LogLevel.h"
#include "engine/LogStyle.h"

#include <gtest/gtest.h>

using namespace kavelin;

namespace {

// 2026-12-07T02:40:10.123Z
const std::chrono::system_clock::time_point kMade =
    std::chrono::system_clock::time_point(std::chrono::milliseconds(1796611210123));

std::string styled(const std::string& text, LogStyle style,
                   LogLine::Kind kind = LogLine::Kind::Log) {
    std::string out;
    appendStyled(out, {kind, text, kMade}, style);
    return out;
}

} // namespace

TEST(LogStyleTest, LevelsFollowTheWordsOfTheLine) {
    const std::pair<const char*, LogLevel> cases[] = {
        {"Layer 0 set visible.", LogLevel::Info},
        {"- Disconnected!!!", LogLevel::Info},
        {"ERROR : Missing arguments for command 66.", LogLevel::Error},
        {"ERROR (initLayer_tga) : init failed. (a.tga)", LogLevel::Error},
        {"Error occured.\n", LogLevel::Error},
        {"Unable to initialize output!", LogLevel::Error},
        {"Kavelin initialization failed.", LogLevel::Error},
        {"WARNING : 3 log lines lost.", LogLevel::Warning},
        {"Unable to load effect.", LogLevel::Warning},
        {"Font 3: Failed to open the face", LogLevel::Warning},
        {"", LogLevel::Info},
    };
    for (const auto& [text, level] : cases)
        EXPECT_EQ(levelOf(text), level) << text;
}

TEST(LogStyleTest, TimestampedAndJournalLinesCarryTimeLevelAndPriority) {
    const LogStyle timestamped{true, false}, journal{false, true}, both{true, true};
    EXPECT_EQ(styled("Layer 0 set visible.", timestamped),
              "2026-12-07T02:40:10.123Z INFO Layer 0 set visible.\n");
    EXPECT_EQ(styled("ERROR : No output 3.", journal), "<3>ERROR : No output 3.\n");
    EXPECT_EQ(styled("Unable to load effect.", both),
              "<4>2026-12-07T02:40:10.123Z WARN Unable to load effect.\n");
    // A diagnostic's own line feed ends its line; one with several lines gets a prefix each.
    EXPECT_EQ(styled("Server initializing...\n", journal, LogLine::Kind::Diagnostic),
              "<6>Server initializing...\n");
    EXPECT_EQ(styled("Error on send()", journal, LogLine::Kind::Diagnostic),
              "<3>Error on send()\n");
    EXPECT_EQ(styled("Error occured.\n", timestamped),
              "2026-12-07T02:40:10.123Z ERROR Error occured.\n");
    EXPECT_EQ(styled("ERROR a\nb\n", journal), "<3>ERROR a\n<3>b\n");
    EXPECT_EQ(styled("", journal), "<6>\n");
    // Milliseconds are not rounded into the next second; times before 1970 count down.
    std::string out;
    appendStyled(
        out,
        {LogLine::Kind::Log, "x",
         std::chrono::system_clock::time_point(std::chrono::microseconds(1796611210999999))},
        timestamped);
    EXPECT_EQ(out, "2026-12-07T02:40:10.999Z INFO x\n");
    out.clear();
    appendStyled(out,
                 {LogLine::Kind::Log, "x",
                  std::chrono::system_clock::time_point(std::chrono::milliseconds(-1))},
                 timestamped);
    EXPECT_EQ(out, "1969-12-31T23:59:59.999Z INFO x\n");
}
