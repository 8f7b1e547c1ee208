// --config FILE: TOML settings read as the command line's own options.
#include "app/CommandLine.h"
#include "app/ServerOptions.h"
#include "base/MediaFolder.h"

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

using kavelin::CommandLine;
using Mode = CommandLine::Mode;
using Args = std::vector<std::string>;

namespace {

class ConfigFileTest : public ::testing::Test {
protected:
    // The command line `--config FILE extra...`, FILE holding `text`.
    CommandLine parse(const std::string& text, const Args& extra = {}) {
        std::ofstream(file) << text;
        Args args{"--config", file};
        args.insert(args.end(), extra.begin(), extra.end());
        return CommandLine::parse(args);
    }

    kavelin::test::TempDir dir{"kavelin-config"};
    const std::string file = dir.file("studio.toml");
};

} // namespace

TEST_F(ConfigFileTest, EachKindOfValueReadsAsOnTheCommandLine) {
    CommandLine c = parse("headless = true\n"
                          "port = 4000\n"
                          "listen = \"127.0.0.1\"\n"
                          "line-timeout = 0.25\n"
                          "idle-timeout = 300\n"
                          "format = \"1080i50\"\n"
                          "output = [\"raw:/tmp/a\",\n"
                          "          \"a.mkv?keyint=50\"]\n"
                          "key = \"clean\"\n"
                          "media = \"" +
                          dir.path().string() +
                          "\"\n"
                          "memory-limit = \"4G\"\n"
                          "log-format = \"timestamped\"\n");
    ASSERT_EQ(c.mode, Mode::Run) << c.error;
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(std::pair(c.port, c.listenAddress), std::pair(4000, std::string("127.0.0.1")));
    EXPECT_EQ(std::pair(c.lineTimeout, c.idleTimeout), std::pair(0.25, 300.0));
    EXPECT_TRUE(c.format.height == 1080 && c.format.interlaced);
    EXPECT_EQ(c.outputs, (Args{"raw:/tmp/a", "a.mkv?keyint=50"}));
    EXPECT_EQ(c.key, kavelin::KeyMode::Clean);
    ASSERT_NE(c.media, nullptr);
    EXPECT_TRUE(c.media->confined());
    EXPECT_EQ(c.memoryLimit, uint64_t{4} << 30);
    EXPECT_TRUE(c.timestampedLog);

    // A number where the command line reads text, false for a switch, an empty list.
    c = parse("memory-limit = 65536\nheadless = false\noutput = []\nline-timeout = 7\n");
    ASSERT_EQ(c.mode, Mode::Run) << c.error;
    EXPECT_EQ(c.memoryLimit, 65536u);
    EXPECT_FALSE(c.headless);
    EXPECT_TRUE(c.outputs.empty());
    EXPECT_EQ(c.lineTimeout, 7.0);
    EXPECT_EQ(parse("").mode, Mode::Run);
}

TEST_F(ConfigFileTest, UnknownKeysWrongTypesAndRefusedValuesNameTheirLine) {
    const std::string forms = "--output needs one of: ";
    const std::pair<std::string, std::string> cases[] = {
        {"port = 4000\n\n# a comment\nprot = 4001\nlisten = true\n", "4: unknown key 'prot'"},
        {"zone = 1\nheadless = 1\n", "1: unknown key 'zone'"}, // the first by line, not by name
        {"config = \"other.toml\"\n", "1: unknown key 'config'"},
        {"headless = \"yes\"\n", "1: 'headless' takes true or false"},
        {"port = true\n", "1: 'port' takes one value, a string or a number"},
        {"output = \"raw:a\"\n", "1: 'output' takes a list, as output = [\"...\"]"},
        {"output = [\n  \"raw:a\",\n  [\"raw:b\"],\n]\n",
         "3: 'output' takes a list of strings or numbers"},
        {"port = 70000\n", "1: port: --port needs a number from 1 to 65535"},
        {"headless = true\nline-timeout = -1\n",
         "2: line-timeout: --line-timeout needs a number of seconds above 0, such as 10 or 0.5"},
        {"output = [\n  \"raw:a\",\n  \"tv\",\n]\n", "3: output: " + forms},
        {"media = \"/nonexistent/kavelin-media\"\n",
         "1: media: --media /nonexistent/kavelin-media: No such file or directory"},
        // TOML's own errors, at their line
        {"port = 4000\nport = 4001\n", "2: "},
        {"listen = \"127.0.0.1\n", "1: "},
    };
    for (const auto& [text, error] : cases) {
        const CommandLine c = parse(text);
        EXPECT_EQ(c.mode, Mode::Invalid) << text;
        EXPECT_EQ(c.error.rfind(file + ":" + error, 0), 0u) << text << "\n -> " << c.error;
        EXPECT_FALSE(c.pointToUsage) << text;
    }
    // What is wrong only together is said as for the command line.
    const CommandLine together = parse("headless = true\noutput = [\"window\"]\n");
    EXPECT_EQ(together.error, "--output window needs the windows (leave out --headless)");

    for (const auto& [path, error] :
         {std::pair(dir.file("missing.toml"), "No such file or directory"),
          std::pair(dir.path().string(), "is a directory")}) {
        const CommandLine c = CommandLine::parse({"--config", path});
        EXPECT_EQ(c.error, path + ": " + error);
    }
}

TEST_F(ConfigFileTest, AnOptionOnTheCommandLineReplacesTheFilesWholly) {
    const std::string text = "port = 4000\n"
                             "listen = \"127.0.0.1\"\n"
                             "output = [\"raw:a\", \"raw:b\"]\n"
                             "media = \"/nonexistent/kavelin-media\"\n"
                             "headless = true\n";
    // The file's folder is not even opened once the command line names another.
    CommandLine c = parse(text, {"--port", "5000", "--output", "raw:c", "--media", "/tmp"});
    ASSERT_EQ(c.mode, Mode::Run) << c.error;
    EXPECT_EQ(std::pair(c.port, c.listenAddress), std::pair(5000, std::string("127.0.0.1")));
    EXPECT_EQ(c.outputs, Args{"raw:c"});
    EXPECT_NE(c.media, nullptr);
    EXPECT_TRUE(c.headless);

    // --config anywhere among the options; a value that reads like an option stays a value.
    std::ofstream(file) << "port = 4000\n";
    c = CommandLine::parse({"--headless", "--listen", "--port", "--config", file});
    EXPECT_EQ(std::pair(c.port, c.listenAddress), std::pair(4000, std::string("--port")))
        << c.error;

    for (const auto& [args, error] :
         {std::pair(Args{"--config"}, "--config needs a file"),
          std::pair(Args{"--config", file, "--config", file}, "--config given twice")}) {
        c = CommandLine::parse(args);
        EXPECT_EQ(c.error, error);
        EXPECT_TRUE(c.pointToUsage);
    }
}

// The example is valid as shipped, and so is each commented example in it once uncommented; it
// has a key, set or commented, for every long option of the server but --config itself.
TEST_F(ConfigFileTest, TheShippedExampleParsesWithAndWithoutItsCommentedExamples) {
    const std::string example = std::string(KAVELIN_SOURCE_DIR) + "/packaging/kavelin.toml.example";
    CommandLine c = CommandLine::parse({"--config", example});
    ASSERT_EQ(c.mode, Mode::Run) << c.error;
    EXPECT_TRUE(c.headless);
    EXPECT_EQ(c.listenAddress, "127.0.0.1");

    std::string text = kavelin::test::readFile(example);
    for (const kavelin::ServerOption& option : kavelin::serverOptions())
        EXPECT_TRUE(option.name == "config" ||
                    std::regex_search(text, std::regex("(^|\n)(# )?" + option.name + " = ")))
            << "no key " << option.name << " in packaging/kavelin.toml.example";
    const std::regex commented("\n# ([a-z-]+) = ");
    std::vector<std::string> keys;
    for (std::sregex_iterator it(text.begin(), text.end(), commented), end; it != end; ++it)
        keys.push_back((*it)[1]);
    for (const std::string& key : keys)
        text = std::regex_replace(text, std::regex("\n" + key + " = [^\n]*"), "\n");
    text = std::regex_replace(text, commented, "\n$1 = ");
    text = std::regex_replace(text, std::regex("/var/lib/kavelin"), dir.path().string());
    c = parse(text);
    ASSERT_EQ(c.mode, Mode::Run) << c.error << "\n" << text;
    EXPECT_GT(c.idleTimeout, 0);
    EXPECT_GT(c.outputs.size(), 1u);
    EXPECT_NE(c.memoryLimit, 0u);
    EXPECT_NE(c.media, nullptr);
}
