#include "app/CommandLine.h"

#include <gtest/gtest.h>

using kavelin::CommandLine;
using Mode = CommandLine::Mode;

TEST(CommandLineTest, DefaultsAndServerOptions) {
    CommandLine c = CommandLine::parse({});
    EXPECT_EQ(c.mode, Mode::Run);
    EXPECT_FALSE(c.headless);
    EXPECT_EQ(c.port, 2031);
    EXPECT_EQ(c.listenAddress, "0.0.0.0");

    c = CommandLine::parse({"--headless", "--port", "4000", "--listen", "127.0.0.1"});
    EXPECT_EQ(c.mode, Mode::Run);
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(c.port, 4000);
    EXPECT_EQ(c.listenAddress, "127.0.0.1");
}

TEST(CommandLineTest, BadPortsAndUnknownArgumentsAreRefused) {
    for (const char* port : {"0", "65536", "-1", "12x", ""})
        EXPECT_EQ(CommandLine::parse({"--port", port}).mode, Mode::Invalid) << port;
    EXPECT_EQ(CommandLine::parse({"--port"}).mode, Mode::Invalid);
    EXPECT_EQ(CommandLine::parse({"--bogus"}).mode, Mode::Invalid);
    EXPECT_EQ(CommandLine::parse({"--help"}).mode, Mode::Help);
    EXPECT_EQ(CommandLine::parse({"--headless", "--version"}).mode, Mode::Version);
}

TEST(CommandLineTest, RenderTakesOneScriptAndOptionalOutputs) {
    CommandLine c = CommandLine::parse({"render", "--png", "out", "--raw", "f.raw", "s.txt"});
    EXPECT_EQ(c.mode, Mode::Render);
    EXPECT_EQ(c.pngDir, "out");
    EXPECT_EQ(c.rawFile, "f.raw");
    EXPECT_EQ(c.script, "s.txt");
    EXPECT_EQ(CommandLine::parse({"render", "-"}).script, "-");
    EXPECT_EQ(CommandLine::parse({"render"}).mode, Mode::Invalid);
    EXPECT_EQ(CommandLine::parse({"render", "a", "b"}).mode, Mode::Invalid);
    EXPECT_EQ(CommandLine::parse({"render", "--png"}).mode, Mode::Invalid);
}
