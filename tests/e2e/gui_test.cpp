// The program's GUI path as a whole: under Xvfb the picture on the screen must be the frame the
// offline renderer composes for the same commands, a 16-bit screen is refused, and on Qt's
// offscreen platform the program serves clients and ends with exit code 1 on SIGTERM.
#include "net/ServerTestSupport.h"
#include "support/ChildProcess.h"
#include "support/RunProgram.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace kavelin::test;

namespace {

constexpr int W = 720;
constexpr int H = 576;

bool haveTools(std::initializer_list<const char*> tools) {
    for (const char* tool : tools)
        if (runProgram(std::string("command -v ") + tool + " >/dev/null 2>&1").exitCode != 0)
            return false;
    return true;
}

// A scratch directory with a private runtime directory for Qt.
struct Scratch {
    fs::path dir;
    Scratch() {
        dir = fs::temp_directory_path() /
              ("kavelin-gui-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        fs::create_directories(dir / "runtime");
        ::chmod((dir / "runtime").c_str(), 0700);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::string path(const char* name) const { return (dir / name).string(); }
};

// Connects to the program once it executes commands: the server accepts clients a moment
// before the command processor is attached, and lines that come in between are refused.
std::unique_ptr<Client> connectTo(uint16_t port) {
    for (int i = 0; i < 1000; ++i) {
        auto client = std::make_unique<Client>(port);
        while (client->connected() && client->send("0\n")) {
            if (client->readLine() == "OK\n")
                return client;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
}

// The id of the first window with this title, polling for up to 5 s; empty when none.
std::string findWindow(const std::string& display, const std::string& title, int ms = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        const ProgramResult r = runProgram("DISPLAY=" + display + " xdotool search --name '^" +
                                           title + "$' 2>/dev/null | head -n 1");
        if (!r.out.empty())
            return r.out.substr(0, r.out.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return "";
}

} // namespace

TEST(GuiProgramTest, ScreenShowsTheComposedFrameUnderXvfb) {
    if (!haveTools({"Xvfb", "xdpyinfo", "xdotool", "import"}))
        GTEST_SKIP() << "Xvfb, xdotool or ImageMagick missing (scripts/install-deps)";
    Xvfb x("1600x1000x24");
    ASSERT_FALSE(x.display().empty());
    Scratch scratch;

    // A picture with four differently coloured quadrants and a half-transparent stripe.
    std::vector<uint32_t> pixels(64 * 48);
    for (int y = 0; y < 48; ++y)
        for (int px = 0; px < 64; ++px)
            pixels[static_cast<size_t>(y * 64 + px)] =
                y < 4 ? 0x8040C0F0u
                      : (px < 32 ? (y < 24 ? 0xFFFF0000u : 0xFF00FF00u)
                                 : (y < 24 ? 0xFF0000FFu : 0xFFFFFFFFu));
    ASSERT_TRUE(writeTga(scratch.path("pic.tga"), 64, 48, pixels));
    const std::vector<std::string> commands = {"116", "121 0", "63 0 " + scratch.path("pic.tga"),
                                               "66 0 100 50", "75 0"};

    const uint16_t port = freePort();
    ChildProcess program({KAVELIN_BINARY, "--port", std::to_string(port), "--listen", "127.0.0.1"},
                         {{"DISPLAY", x.display()},
                          {"XDG_RUNTIME_DIR", scratch.path("runtime")},
                          {"QT_QPA_PLATFORM", ""},
                          {"WAYLAND_DISPLAY", ""}},
                         scratch.path("stdout.txt"));
    auto client = connectTo(port);
    ASSERT_TRUE(client);
    for (const std::string& command : commands) {
        ASSERT_TRUE(client->send(command + "\n"));
        EXPECT_EQ(client->readLine().substr(0, 2), "OK") << command;
    }

    // The same commands rendered offline give the frame the screen must show.
    {
        std::ofstream script(scratch.path("script.txt"));
        for (const std::string& command : commands)
            script << command << "\n";
        script << "@wait 1\n";
    }
    ASSERT_EQ(runProgram(std::string(KAVELIN_BINARY) + " render --raw " +
                         scratch.path("frame.raw") + " " + scratch.path("script.txt") +
                         " >/dev/null 2>&1")
                  .exitCode,
              0);
    const std::string frame = readFile(scratch.path("frame.raw"));
    ASSERT_EQ(frame.size(), size_t{W} * H * 4);

    // Without a window manager the dialog opens over the output window: move it aside.
    const std::string output = findWindow(x.display(), "Kavelin Window Output");
    const std::string dialog = findWindow(x.display(), "Ovindu Kavelin 4.0");
    ASSERT_FALSE(output.empty());
    ASSERT_FALSE(dialog.empty());
    runProgram("DISPLAY=" + x.display() + " xdotool windowmove " + dialog + " 900 500");
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); // several frames
    ASSERT_EQ(runProgram("DISPLAY=" + x.display() + " import -window " + output +
                         " -depth 8 rgb:" + scratch.path("shot.rgb") + " 2>/dev/null")
                  .exitCode,
              0);
    const std::string shot = readFile(scratch.path("shot.rgb"));
    ASSERT_EQ(shot.size(), size_t{W} * H * 3);

    int mismatches = 0;
    for (size_t i = 0; i < size_t{W} * H; ++i) {
        const auto* f = reinterpret_cast<const uint8_t*>(frame.data() + i * 4); // B G R A
        const auto* s = reinterpret_cast<const uint8_t*>(shot.data() + i * 3);  // R G B
        if (s[0] != f[2] || s[1] != f[1] || s[2] != f[0]) {
            if (++mismatches <= 5)
                ADD_FAILURE() << "pixel " << i % W << ", " << i / W;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The picture is there at all (not a black screen matching a black frame).
    const size_t inside = (size_t{60} * W + 110) * 3;
    EXPECT_GT(static_cast<uint8_t>(shot[inside]), 200);

    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(10000), std::optional<int>(1));
    EXPECT_NE(readFile(scratch.path("stdout.txt")).find("Window output initializing...\n"),
              std::string::npos);
}

TEST(GuiProgramTest, SixteenBitScreenIsRefusedWithExitCodeZero) {
    if (!haveTools({"Xvfb", "xdpyinfo", "xdotool"}))
        GTEST_SKIP() << "Xvfb or xdotool missing (scripts/install-deps)";
    Xvfb x("1024x768x16");
    ASSERT_FALSE(x.display().empty());
    Scratch scratch;
    const uint16_t port = freePort();
    ChildProcess program({KAVELIN_BINARY, "--port", std::to_string(port), "--listen", "127.0.0.1"},
                         {{"DISPLAY", x.display()},
                          {"XDG_RUNTIME_DIR", scratch.path("runtime")},
                          {"QT_QPA_PLATFORM", ""},
                          {"WAYLAND_DISPLAY", ""}},
                         scratch.path("stdout.txt"));
    const std::string box = findWindow(x.display(), "Unsupported color mode!");
    ASSERT_FALSE(box.empty());
    // Nothing else was created: no dialog, no output window, no server.
    EXPECT_TRUE(findWindow(x.display(), "Ovindu Kavelin 4.0", 0).empty());
    EXPECT_TRUE(findWindow(x.display(), "Kavelin Window Output", 0).empty());
    EXPECT_FALSE(Client(port).connected());

    runProgram("DISPLAY=" + x.display() + " xdotool windowfocus --sync " + box + " key Return");
    EXPECT_EQ(program.wait(10000), std::optional<int>(0));
    EXPECT_EQ(readFile(scratch.path("stdout.txt")), "");
}

TEST(GuiProgramTest, OffscreenProgramServesAndEndsWithOneOnSigterm) {
    Scratch scratch;
    const uint16_t port = freePort();
    ChildProcess program({KAVELIN_BINARY, "--port", std::to_string(port), "--listen", "127.0.0.1"},
                         {{"QT_QPA_PLATFORM", "offscreen"},
                          {"DISPLAY", ""},
                          {"WAYLAND_DISPLAY", ""},
                          {"XDG_RUNTIME_DIR", scratch.path("runtime")}},
                         scratch.path("stdout.txt"));
    auto client = connectTo(port);
    ASSERT_TRUE(client);
    ASSERT_TRUE(client->send("1000\n2147483647\n116\n"));
    EXPECT_EQ(client->readLine(), "ERROR\n");
    EXPECT_EQ(client->readLine(), "ERROR\n");
    EXPECT_EQ(client->readLine(), "OK 0\n");
    client.reset();

    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(10000), std::optional<int>(1));
    const std::string out = readFile(scratch.path("stdout.txt"));
    EXPECT_EQ(out.find("Window output initializing...\n"), 0u) << out;
    EXPECT_NE(out.find("(KvWindowOutput) Unsupported command (1000)\n"), std::string::npos);
    EXPECT_NE(out.find("(KvWindowOutput) Unsupported command (2147483647)\n"), std::string::npos);
}
