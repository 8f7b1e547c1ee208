#include "app/CommandLine.h"
#include "base/MediaFolder.h"

#include <gtest/gtest.h>

#include <tuple>

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

// Each option's forms are read as the settings file's keys are (tests/app/config_file_test.cpp);
// here, the defaults, and the options the file test does not set.
TEST(CommandLineTest, DefaultsAndOptions) {
    CommandLine c = parse("");
    EXPECT_EQ(std::tuple(c.mode, c.headless, c.port, c.listenAddress, c.format.name),
              std::tuple(Mode::Run, false, 2031, "0.0.0.0", "pal"));
    EXPECT_TRUE(c.outputs.empty() && c.media == nullptr);
    EXPECT_EQ(c.memoryLimit, 0u);                                             // the default budget
    EXPECT_EQ(std::pair(c.lineTimeout, c.idleTimeout), std::pair(10.0, 0.0)); // 0: never
    EXPECT_EQ(c.key, kavelin::KeyMode::Composed);
    // One controller, no metrics and one composing thread per processor unless asked.
    EXPECT_EQ(std::tuple(c.clients, c.metricsPort, c.threads), std::tuple(1, 0, 0));

    EXPECT_EQ(parse("--idle-timeout .25 --line-timeout 7.").idleTimeout, 0.25);
    // A metrics port alone listens on loopback.
    c = parse("--clients 64 --metrics 9100 --threads 64");
    EXPECT_EQ(std::tuple(c.clients, c.metricsAddress, c.metricsPort, c.threads),
              std::tuple(64, "127.0.0.1", 9100, 64));
    c = parse("--metrics 0.0.0.0:65535");
    EXPECT_EQ(std::tuple(c.metricsAddress, c.metricsPort), std::tuple("0.0.0.0", 65535));

    c = parse("render --png out --memory-limit 65536K --raw f.raw --format 720p50 --threads 1 -");
    EXPECT_EQ(c.memoryLimit, uint64_t{64} << 20);
    EXPECT_EQ(c.mode, Mode::Render);
    EXPECT_EQ((Args{c.pngDir, c.rawFile, c.script}), (Args{"out", "f.raw", "-"}));
    EXPECT_EQ(std::pair(c.format.height, c.threads), std::pair(720, 1));
}

// The settings file's test refuses the same options' values with their texts; here, the edges.
TEST(CommandLineTest, ModesAndRefusals) {
    EXPECT_EQ(parse("--help").mode, Mode::Help);
    EXPECT_EQ(parse("--headless --version").mode, Mode::Version);
    EXPECT_EQ(parse("--port 99 --commands").mode, Mode::Commands);
    for (const char* line : {"--port 0",
                             "--port 65536",
                             "--port",
                             "--bogus",
                             "--format ntsc9",
                             "--output raw:",
                             "--output a.mkv?bitrate=4M --format 1080p50",
                             "render",
                             "render a b",
                             "render --output window s",
                             "--memory-limit 0",
                             "render --memory-limit 1.5G s",
                             "render --key Clean -",
                             "--clients 0",
                             "--clients 65",
                             "--threads 0",
                             "--threads 65",
                             "--metrics 127.0.0.1:",
                             "--metrics localhost:9100",
                             "--line-timeout 0",
                             "--idle-timeout 1e3",
                             "--line-timeout 0x10"}) {
        const CommandLine c = parse(line);
        EXPECT_EQ(c.mode, Mode::Invalid) << line;
        EXPECT_FALSE(c.error.empty()) << line;
    }
    // The media folder is opened while the arguments are read.
    EXPECT_EQ(parse("--media /dev/null").error, "--media /dev/null: Not a directory");
}
