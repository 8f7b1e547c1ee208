// The program's GUI path as a whole: under Xvfb it opens its windows and SIGTERM ends it with exit
// code 1, and a display that refuses the program leaves it headless.
#include "support/ChildProcess.h"
#include "support/RefusingDisplay.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kavelin::test;

namespace {

// The program on `port` with `env` and a private runtime directory for Qt, its standard output
// and error in the folder's stdout.txt and stderr.txt.
ChildProcess startProgram(const TempDir& dir, uint16_t port, std::map<std::string, std::string> env,
                          const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{KAVELIN_BINARY, "--port", std::to_string(port), "--listen",
                                  "127.0.0.1"};
    args.insert(args.end(), extra.begin(), extra.end());
    ::mkdir(dir.file("runtime").c_str(), 0700);
    env.insert({{"XDG_RUNTIME_DIR", dir.file("runtime")},
                {"WAYLAND_DISPLAY", ""},
                {"QT_QPA_PLATFORM", ""}});
    return ChildProcess(args, env, dir.file("stdout.txt"), dir.file("stderr.txt"));
}

// Connects to the program once it executes commands: the server accepts clients a moment
// before the command executor is attached, and lines that come in between are refused.
std::unique_ptr<Client> connectTo(uint16_t port) {
    std::unique_ptr<Client> client;
    const bool served = waitUntil(
        [&] {
            client = std::make_unique<Client>(port);
            return client->connected() && client->send("0\n") && client->readLine() == "OK\n";
        },
        20000);
    return served ? std::move(client) : nullptr;
}

// The id of the first window with this title, polling for up to 20 s; empty when none.
std::string findWindow(const std::string& display, const std::string& title) {
    std::string id;
    waitUntil(
        [&] {
            id = runProgram("DISPLAY=" + display + " xdotool search --name '^" + title +
                            "$' 2>/dev/null | head -n 1")
                     .out;
            return !id.empty();
        },
        20000);
    return id.substr(0, id.find('\n'));
}

} // namespace

// On a real X display the program opens the output window and the dialog, serves, and SIGTERM
// ends it with exit code 1. (That the window shows each frame exactly is the window output's
// test; that the program's frames are the offline renderer's, the media outputs'.)
TEST(GuiProgramTest, OpensItsWindowsOnXAndEndsWithOneOnSigterm) {
    if (runProgram("command -v Xvfb && command -v xdpyinfo && command -v xdotool").exitCode != 0)
        GTEST_SKIP() << "Xvfb or xdotool missing (scripts/install-deps)";
    Xvfb x("1024x768x24");
    ASSERT_FALSE(x.display().empty());
    TempDir dir;
    const uint16_t port = freePort();
    ChildProcess program = startProgram(dir, port, {{"DISPLAY", x.display()}});
    ASSERT_TRUE(connectTo(port));
    EXPECT_FALSE(findWindow(x.display(), "Kavelin Window Output").empty());
    EXPECT_FALSE(findWindow(x.display(), "Ovindu Kavelin 4.0").empty());
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(10000), std::optional<int>(1));
    const std::string out = readFile(dir.file("stdout.txt"));
    EXPECT_EQ(out.find("Window output initializing...\n"), 0u) << out;
}

// A display that answers but does not let the program in: the program says so in one line and
// runs headless, where Qt would have ended it.
TEST(GuiProgramTest, DisplayThatRefusesTheProgramLeavesItHeadless) {
    const RefusingDisplay display;
    ASSERT_FALSE(display.name().empty());
    TempDir dir;
    const uint16_t port = freePort();
    ChildProcess program = startProgram(dir, port, {{"DISPLAY", display.name()}});
    auto client = connectTo(port);
    ASSERT_TRUE(client);
    ASSERT_TRUE(client->send("1003\n"));
    EXPECT_EQ(client->readLine(), "ERROR\n");
    client.reset();
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(10000), std::optional<int>(0)); // headless
    const std::string out = readFile(dir.file("stdout.txt"));
    const std::string first = "kavelin: display " + display.name() +
                              " answers but refuses the connection; running headless\n";
    EXPECT_EQ(out.substr(0, first.size()), first);
    EXPECT_NE(out.find("(HeadlessOutput) Unsupported command (1003)\n"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("stderr.txt")), "");
}
