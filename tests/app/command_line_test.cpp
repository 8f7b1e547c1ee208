#include "app/CommandLine.h"

#include <gtest/gtest.h>

using kavelin::CommandLine;
using Mode = CommandLine::Mode;
using Args = std::vector<std::string>;

namespace {

// The arguments of a command line written out with spaces; "_" stands for an empty one.
CommandLine parse(const std::string& line) {
    Args args;
    std::istringstream in(line);
    for (std::string arg; in >> arg;)
        args.push_back(arg == "_" ? "" : arg);
    return CommandLine::parse(args);
}

} // namespace

TEST(CommandLineTest, DefaultsAndOptions) {
    CommandLine c = parse("");
    EXPECT_EQ(c.mode, Mode::Run);
    EXPECT_FALSE(c.headless);
    EXPECT_EQ(c.port, 2031);
    EXPECT_EQ(c.listenAddress, "0.0.0.0");
    EXPECT_EQ(c.format.name, "pal");
    EXPECT_TRUE(c.outputs.empty());

    c = parse("--headless --port 4000 --listen 127.0.0.1 --format 1080i50 --output raw:/tmp/a "
              "--output raw:b");
    EXPECT_EQ(c.mode, Mode::Run);
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(c.port, 4000);
    EXPECT_EQ(c.listenAddress, "127.0.0.1");
    EXPECT_TRUE(c.format.width == 1920 && c.format.interlaced);
    EXPECT_EQ(c.outputs, (Args{"raw:/tmp/a", "raw:b"}));
    EXPECT_EQ(std::pair(c.lineTimeout, c.idleTimeout), std::pair(10.0, 0.0)); // 0: never

    c = parse("--line-timeout 0.3 --idle-timeout 3600");
    EXPECT_EQ(std::pair(c.lineTimeout, c.idleTimeout), std::pair(0.3, 3600.0));
    EXPECT_EQ(parse("--idle-timeout .25 --line-timeout 7.").idleTimeout, 0.25);
    EXPECT_EQ(parse("--output window --output raw:x").outputs, (Args{"window", "raw:x"}));

    c = parse("render --png out --raw f.raw --format 720p50 -");
    EXPECT_EQ(c.mode, Mode::Render);
    EXPECT_EQ((Args{c.pngDir, c.rawFile, c.script}), (Args{"out", "f.raw", "-"}));
    EXPECT_EQ(c.format.height, 720);
}

TEST(CommandLineTest, ModesAndRefusals) {
    EXPECT_EQ(parse("--help").mode, Mode::Help);
    EXPECT_EQ(parse("--headless --version").mode, Mode::Version);
    EXPECT_EQ(parse("--port 99 --commands").mode, Mode::Commands);
    for (const char* line : {"--port 0",
                             "--port 65536",
                             "--port 12x",
                             "--port _",
                             "--port",
                             "--bogus",
                             "--listen",
                             "--format",
                             "--format ntsc9",
                             "--output",
                             "--output raw:",
                             "--output tv",
                             "--headless --output window",
                             "render",
                             "render a b",
                             "render --png",
                             "render --output window s",
                             "--line-timeout",
                             "--line-timeout 0",
                             "--line-timeout -1",
                             "--line-timeout 0.000",
                             "--idle-timeout _",
                             "--idle-timeout .",
                             "--idle-timeout 1e3",
                             "--idle-timeout inf",
                             "--idle-timeout nan",
                             "--line-timeout 1.2.3",
                             "--line-timeout +5",
                             "--idle-timeout 5s",
                             "--line-timeout 0x10"}) {
        const CommandLine c = parse(line);
        EXPECT_EQ(c.mode, Mode::Invalid) << line;
        EXPECT_FALSE(c.error.empty()) << line;
    }
}
