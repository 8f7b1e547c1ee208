// Runs `kavelin render` on scripts and checks replies, log lines and frames byte for byte
// against pictures computed here from the blending rules themselves.
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kavelin::test::runProgram;
using kavelin::test::writeTga;

namespace {

constexpr int W = 720;
constexpr int H = 576;

using Frame = std::vector<uint32_t>;

// The single-pixel opacity blend.
uint32_t blendOne(uint32_t d, uint32_t s, uint32_t opacity) {
    const uint32_t sa = s >> 24, da = d >> 24;
    if (sa == 0)
        return d;
    const uint32_t a = ((opacity & 0xFF) * sa) >> 8;
    if (a == 0)
        return d;
    const uint32_t dd = ((255 - a) * da) >> 8;
    if (dd == 0)
        return (s & 0xFFFFFF) | a << 24;
    uint32_t out = (a + dd) << 24;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * dd) / (a + dd)) << shift;
    return out;
}

// The four-pixel form, with the transparent-destination rule of frame composition.
void blendFour(uint32_t* d, const uint32_t* s, uint32_t opacity) {
    uint32_t a[4];
    bool anyA = false, anyDa = false;
    for (int i = 0; i < 4; ++i) {
        a[i] = ((s[i] >> 24) * opacity) >> 8;
        anyA |= a[i] != 0;
        anyDa |= (d[i] >> 24) != 0;
    }
    if (!anyA)
        return;
    if (!anyDa) {
        for (int i = 0; i < 4; ++i)
            d[i] = (s[i] & 0xFFFFFF) | a[i] << 24;
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const uint32_t dd = ((d[i] >> 24) * (255 - a[i])) >> 8;
        const uint32_t q = (a[i] + dd) == 0 ? 65535 : 65535 / (a[i] + dd);
        uint32_t out = (a[i] + dd) << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t c = ((s[i] >> shift) & 0xFF) * a[i] + ((d[i] >> shift) & 0xFF) * dd;
            out |= ((c * q) >> 16) << shift;
        }
        d[i] = out;
    }
}

// Blends an opaque-or-not w x h picture at (x, y), clipped to the frame, row by row as the
// compositor does: groups of four from the first visible pixel, the rest one by one.
void blendPicture(Frame& frame, int x, int y, int w, int h, const std::vector<uint32_t>& pic,
                  uint32_t opacity) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, W);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, H);
    if (x0 >= x1 || y0 >= y1)
        return;
    for (int row = y0; row < y1; ++row) {
        uint32_t* d = &frame[static_cast<size_t>(row * W + x0)];
        const uint32_t* s = &pic[static_cast<size_t>((row - y) * w + (x0 - x))];
        const int n = x1 - x0;
        int i = 0;
        for (; i + 4 <= n; i += 4)
            blendFour(d + i, s + i, opacity);
        for (; i < n; ++i)
            d[i] = blendOne(d[i], s[i], opacity);
    }
}

void copyPicture(Frame& frame, int x, int y, int w, int h, const std::vector<uint32_t>& pic) {
    for (int row = std::max(y, 0); row < std::min(y + h, H); ++row)
        for (int col = std::max(x, 0); col < std::min(x + w, W); ++col)
            frame[static_cast<size_t>(row * W + col)] =
                pic[static_cast<size_t>((row - y) * w + (col - x))];
}

Frame black() {
    return Frame(W * H, 0xFF000000u);
}

class RenderTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return temp.file(name); }

    // Runs the script; returns the replies and fills `frames` from the raw output.
    std::string render(const std::string& script, int& exitCode, std::vector<Frame>& frames,
                       const std::string& extra = "") {
        {
            std::ofstream out(path("script.txt"), std::ios::binary);
            out << script;
        }
        const auto result =
            runProgram(std::string(KAVELIN_BINARY) + " render --raw " + path("frames.raw") + " " +
                       extra + " " + path("script.txt") + " 2>" + path("log.txt"));
        exitCode = result.exitCode;
        std::ifstream raw(path("frames.raw"), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(raw)), {});
        const size_t frameBytes = static_cast<size_t>(W) * H * 4;
        frames.clear();
        for (size_t off = 0; off + frameBytes <= bytes.size(); off += frameBytes) {
            Frame f(W * H);
            std::memcpy(f.data(), bytes.data() + off, frameBytes);
            frames.push_back(std::move(f));
        }
        return result.out;
    }
    std::string logText() const {
        std::ifstream in(path("log.txt"));
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    kavelin::test::TempDir temp{"kavelin-render"};
};

// First differing pixel, for readable failures.
std::string firstDifference(const Frame& got, const Frame& want) {
    for (size_t i = 0; i < want.size(); ++i)
        if (got[i] != want[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "pixel (%zu, %zu): got %08X, want %08X", i % W, i / W,
                          got[i], want[i]);
            return text;
        }
    return "";
}

} // namespace

TEST_F(RenderTest, TypicalSessionRepliesAndLog) {
    ASSERT_TRUE(writeTga(path("logo.tga"), 8, 4, kavelin::test::solid(8, 4, 0xFF336699)));
    int code = 0;
    std::vector<Frame> frames;
    const std::string replies = render("116\n121 0\n63 0 " + path("logo.tga") +
                                           "\n66 0 100 50\n75 0\n124 0\n\nhello\n72\n60\n"
                                           "# a comment\n88 0 0 25\n117 0\n124 0\n",
                                       code, frames);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(replies, "OK 0\nOK 0\nOK\nOK\nOK\nOK 8 4\nOK\nERROR\nERROR\nOK\nOK\nERROR\n");
    EXPECT_EQ(logText(), "Layer 0 initialized. (tga)\n"
                         "Layer 0 position set to (100, 50)\n"
                         "Layer 0 set visible.\n"
                         "Unsupported command (60)\n"
                         "Layer 0 fading to 0 in 25 frames.\n"
                         "Layer set 0 released.\n"
                         "ERROR (getLayerImageSize) : No layer found for number 0.\n");
    EXPECT_TRUE(frames.empty());
}

TEST_F(RenderTest, LayersAndSetsComposeInOrderAndClipAtTheEdges) {
    const auto red = kavelin::test::solid(40, 30, 0xFFFF0000u);
    std::vector<uint32_t> mixed(16 * 8);
    for (size_t i = 0; i < mixed.size(); ++i)
        mixed[i] = static_cast<uint32_t>((i * 37) % 256) << 24 |
                   static_cast<uint32_t>(i * 2654435761u) >> 8;
    ASSERT_TRUE(writeTga(path("red.tga"), 40, 30, red));
    ASSERT_TRUE(writeTga(path("mixed.tga"), 16, 8, mixed, 32, false));
    const std::string script = "116\n116\n"
                               "121 1\n63 0 " +
                               path("red.tga") +
                               "\n"
                               "66 0 700 -10\n75 0\n" // set 1, partly off the frame
                               "121 0\n63 1 " +
                               path("mixed.tga") +
                               "\n"
                               "66 1 10 10\n75 1\n122 0 100 50\n" // set 0 at (100, 50)
                               "121 0\n63 2 " +
                               path("mixed.tga") +
                               "\n"
                               "66 2 -5 3\n78 2 0 255\n75 2\n" // opaque copy
                               "121 1\n63 3 " +
                               path("mixed.tga") +
                               "\n"
                               "66 3 702 -12\n78 3 1 200\n75 3\n"
                               "@wait\n119 1\n@wait 1\n";
    int code = 0;
    std::vector<Frame> frames;
    render(script, code, frames);
    ASSERT_EQ(code, 0);
    ASSERT_EQ(frames.size(), 2u);

    // Stacking: set 0 then set 1 (set 1 on top).
    Frame want = black();
    blendPicture(want, 110, 60, 16, 8, mixed, 255);
    copyPicture(want, 95, 53, 16, 8, mixed);
    blendPicture(want, 700, -10, 40, 30, red, 255);
    blendPicture(want, 702, -12, 16, 8, mixed, 200);
    EXPECT_EQ(firstDifference(frames[0], want), "");

    // Set 1 brought forward: drawn first, set 0 over it.
    want = black();
    blendPicture(want, 700, -10, 40, 30, red, 255);
    blendPicture(want, 702, -12, 16, 8, mixed, 200);
    blendPicture(want, 110, 60, 16, 8, mixed, 255);
    copyPicture(want, 95, 53, 16, 8, mixed);
    EXPECT_EQ(firstDifference(frames[1], want), "");
}

TEST_F(RenderTest, FadeProgressesFrameByFrame) {
    ASSERT_TRUE(writeTga(path("white.tga"), 5, 1, kavelin::test::solid(5, 1, 0xFFFFFFFFu)));
    int code = 0;
    std::vector<Frame> frames;
    render("116\n121 0\n63 0 " + path("white.tga") + "\n75 0\n88 0 0 25\n@wait 3\n", code, frames);
    ASSERT_EQ(frames.size(), 3u);
    const uint32_t opacities[] = {244, 239, 234};
    for (size_t f = 0; f < 3; ++f) {
        Frame want = black();
        blendPicture(want, 0, 0, 5, 1, kavelin::test::solid(5, 1, 0xFFFFFFFFu), opacities[f]);
        EXPECT_EQ(firstDifference(frames[f], want), "") << "frame " << f;
    }
}

TEST_F(RenderTest, PngFramesAndBadScripts) {
    int code = 0;
    std::vector<Frame> frames;
    fs::create_directories(path("png"));
    render("@wait 2\n", code, frames, "--png " + path("png"));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(fs::exists(path("png/frame00000.png")));
    EXPECT_TRUE(fs::exists(path("png/frame00001.png")));
    EXPECT_FALSE(fs::exists(path("png/frame00002.png")));

    render("116\n@wait x\n", code, frames);
    EXPECT_EQ(code, 2);
    render("@wait 1\n", code, frames, "--png " + path("no/such/dir"));
    EXPECT_EQ(code, 2);
    const auto missing =
        runProgram(std::string(KAVELIN_BINARY) + " render " + path("missing.txt") + " 2>/dev/null");
    EXPECT_EQ(missing.exitCode, 2);
    std::ofstream(path("one.txt")) << "@wait 1\n";
    const auto rawUnwritable =
        runProgram(std::string(KAVELIN_BINARY) + " render --raw " + path("no/such/dir/f.raw") +
                   " " + path("one.txt") + " 2>/dev/null");
    EXPECT_EQ(rawUnwritable.exitCode, 2);
}

TEST_F(RenderTest, OverlongLinesAreSkippedWithoutAReply) {
    int code = 0;
    std::vector<Frame> frames;
    const std::string replies = render("116\n0" + std::string(1023, 'x') + "\n116\n", code, frames);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(replies, "OK 0\nOK 1\n");
    EXPECT_NE(logText().find("line 2 is longer than 1023 bytes"), std::string::npos) << logText();
}
