// The program's GUI path as a whole: under Xvfb the picture on the screen must be the frame the
// offline renderer composes for the same commands and SIGTERM ends it with exit code 1, a display
// that refuses the program leaves it headless, and a platform Qt cannot start ends it with one
// line.
#include "support/ChildProcess.h"
#include "support/RefusingDisplay.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kavelin::test;

namespace {

constexpr int W = 720, H = 576;

bool haveTools(const std::string& tools) {
    return runProgram("for t in " + tools + "; do command -v $t >/dev/null || exit 1; done")
               .exitCode == 0;
}

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

TEST(GuiProgramTest, ScreenShowsTheComposedFrameUnderXvfb) {
    if (!haveTools("Xvfb xdpyinfo xdotool import"))
        GTEST_SKIP() << "Xvfb, xdotool or ImageMagick missing (scripts/install-deps)";
    Xvfb x("1600x1000x24");
    ASSERT_FALSE(x.display().empty());
    TempDir dir;

    // A picture with four differently coloured quadrants and a half-transparent stripe.
    std::vector<uint32_t> pixels(64 * 48);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i < 4 * 64 ? 0x8040C0F0u
                               : (i % 64 < 32 ? (i < 24 * 64 ? 0xFFFF0000u : 0xFF00FF00u)
                                              : (i < 24 * 64 ? 0xFF0000FFu : 0xFFFFFFFFu));
    ASSERT_TRUE(writeTga(dir.file("pic.tga"), 64, 48, pixels));
    const std::vector<std::string> commands = {"116", "121 0", "63 0 " + dir.file("pic.tga"),
                                               "66 0 100 50", "75 0"};

    const uint16_t port = freePort();
    ChildProcess program = startProgram(dir, port, {{"DISPLAY", x.display()}});
    auto client = connectTo(port);
    ASSERT_TRUE(client);
    std::ofstream script(dir.file("script.txt"));
    for (const std::string& command : commands) {
        ASSERT_TRUE(client->send(command + "\n"));
        EXPECT_EQ(client->readLine().substr(0, 2), "OK") << command;
        script << command << "\n";
    }
    // The same commands rendered offline give the frame the screen must show.
    script << "@wait 1\n" << std::flush;
    ASSERT_EQ(runProgram(std::string(KAVELIN_BINARY) + " render --raw " + dir.file("frame.raw") +
                         " " + dir.file("script.txt") + " >/dev/null 2>&1")
                  .exitCode,
              0);
    const std::string frame = readFile(dir.file("frame.raw"));
    ASSERT_EQ(frame.size(), size_t{W} * H * 4);

    // Without a window manager the dialog opens over the output window: move it aside.
    const std::string output = findWindow(x.display(), "Kavelin Window Output");
    const std::string dialog = findWindow(x.display(), "Ovindu Kavelin 4.0");
    ASSERT_FALSE(output.empty() || dialog.empty());
    runProgram("DISPLAY=" + x.display() + " xdotool windowmove " + dialog + " 900 500");
    // Screenshots until one shows the frame: the move and the next frame take their time.
    std::string shot;
    EXPECT_TRUE(waitUntil(
        [&] {
            runProgram("DISPLAY=" + x.display() + " import -window " + output +
                       " -depth 8 rgb:" + dir.file("shot.rgb") + " 2>/dev/null");
            shot = readFile(dir.file("shot.rgb"));
            for (size_t i = 0; shot.size() == size_t{W} * H * 3 && i < size_t{W} * H; ++i)
                if (shot[i * 3] != frame[i * 4 + 2] || shot[i * 3 + 1] != frame[i * 4 + 1] ||
                    shot[i * 3 + 2] != frame[i * 4]) // R G B against B G R A
                    return false;
            return shot.size() == size_t{W} * H * 3;
        },
        20000));
    // The picture is there at all (not a black screen matching a black frame).
    ASSERT_EQ(shot.size(), size_t{W} * H * 3);
    EXPECT_GT(static_cast<uint8_t>(shot[(size_t{60} * W + 110) * 3]), 200);

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

TEST(GuiProgramTest, PlatformThatCannotStartEndsTheProgramWithOneLine) {
    TempDir dir;
    ChildProcess program =
        startProgram(dir, freePort(), {{"QT_QPA_PLATFORM", "nosuch"}, {"DISPLAY", ""}});
    EXPECT_EQ(program.wait(20000), std::optional<int>(3));
    const std::string err = readFile(dir.file("stderr.txt"));
    const std::string start = "kavelin: cannot start the windows on platform nosuch: ";
    EXPECT_EQ(err.substr(0, start.size()), start) << err;
    EXPECT_NE(err.find("nosuch", start.size()), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(readFile(dir.file("stdout.txt")), "");
}
