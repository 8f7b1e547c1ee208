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
    EXPECT_EQ(c.memoryLimit, 0u); // the default budget
    EXPECT_EQ(parse("--memory-limit 512M --headless").memoryLimit, uint64_t{512} << 20);
    EXPECT_EQ(std::pair(c.lineTimeout, c.idleTimeout), std::pair(10.0, 0.0)); // 0: never

    c = parse("--line-timeout 0.3 --idle-timeout 3600");
    EXPECT_EQ(std::pair(c.lineTimeout, c.idleTimeout), std::pair(0.3, 3600.0));
    EXPECT_EQ(parse("--idle-timeout .25 --line-timeout 7.").idleTimeout, 0.25);
    EXPECT_EQ(parse("--output window --output raw:x").outputs, (Args{"window", "raw:x"}));
    EXPECT_EQ(parse("").key, kavelin::KeyMode::Composed);
    EXPECT_EQ(parse("--key clean").key, kavelin::KeyMode::Clean);
    EXPECT_EQ(parse("render --key clean -").key, kavelin::KeyMode::Clean);
    EXPECT_EQ(
        parse("--output a.mkv --output srt://h:9000?mode=listener --output gst:fakesink").outputs,
        (Args{"a.mkv", "srt://h:9000?mode=listener", "gst:fakesink"}));

    // One controller and no metrics unless asked; a metrics port alone listens on loopback.
    EXPECT_EQ(std::tuple(c.clients, c.metricsPort), std::tuple(1, 0));
    c = parse("--clients 64 --metrics 9100");
    EXPECT_EQ(std::tuple(c.clients, c.metricsAddress, c.metricsPort),
              std::tuple(64, "127.0.0.1", 9100));
    c = parse("--metrics 0.0.0.0:65535 --clients 1");
    EXPECT_EQ(std::tuple(c.clients, c.metricsAddress, c.metricsPort),
              std::tuple(1, "0.0.0.0", 65535));

    // One composing thread per processor unless asked, for the server and for render.
    EXPECT_EQ(c.threads, 0);
    EXPECT_EQ(parse("--threads 64").threads, 64);
    EXPECT_EQ(parse("render --threads 1 -").threads, 1);

    c = parse("render --png out --memory-limit 65536K --raw f.raw --format 720p50 -");
    EXPECT_EQ(c.memoryLimit, uint64_t{64} << 20);
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
                             "--port",
                             "--bogus",
                             "--listen",
                             "--format",
                             "--format ntsc9",
                             "--output",
                             "--output raw:",
                             "--output tv",
                             "--output out.mp4",
                             "--output a.webm",
                             "--output srt://host?mode=listener",
                             "--output a.mkv?bitrate=4M --format 1080p50",
                             "--headless --output window",
                             "render",
                             "render a b",
                             "render --png",
                             "render --output window s",
                             "--memory-limit",
                             "--memory-limit 0",
                             "render --memory-limit 1.5G s",
                             "--media",
                             "--media _",
                             "--key",
                             "--key 255",
                             "render --key Clean -",
                             "--clients 0",
                             "--clients 65",
                             "--clients 2x",
                             "--clients",
                             "--threads 0",
                             "--threads 65",
                             "render --threads -",
                             "--metrics",
                             "--metrics 0",
                             "--metrics 127.0.0.1:",
                             "--metrics :9100",
                             "--metrics localhost:9100",
                             "--metrics 127.0.0.1:9100:1",
                             "--metrics 9100x",
                             "--line-timeout",
                             "--line-timeout 0",
                             "--idle-timeout _",
                             "--idle-timeout .",
                             "--idle-timeout 1e3",
                             "--line-timeout 1.2.3",
                             "--line-timeout 0x10"}) {
        const CommandLine c = parse(line);
        EXPECT_EQ(c.mode, Mode::Invalid) << line;
        EXPECT_FALSE(c.error.empty()) << line;
    }
}

// The media folder is opened while the arguments are read: one that cannot be opened is a bad
// option like any other (exit code 2 with its line).
TEST(CommandLineTest, MediaFolder) {
    EXPECT_EQ(parse("").media, nullptr);
    const CommandLine c = parse("--headless --media /tmp");
    ASSERT_EQ(c.mode, Mode::Run);
    ASSERT_NE(c.media, nullptr);
    EXPECT_TRUE(c.media->confined());
    const CommandLine missing = parse("--media /nonexistent/kavelin-media");
    EXPECT_EQ(missing.mode, Mode::Invalid);
    EXPECT_EQ(missing.error, "--media /nonexistent/kavelin-media: No such file or directory");
    EXPECT_EQ(parse("--media /dev/null").error, "--media /dev/null: Not a directory");
}
