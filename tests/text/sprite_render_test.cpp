// `kavelin render` scripts that set sprite-font text into layers, checked byte for byte
// against frames built here from the glyph sheets' known pixels.
#include "text/CharacterMap.h"

#include "text/FontFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kavelin::test {
namespace {

constexpr int32_t kFrameWidth = 720, kFrameHeight = 576;

// What one layer should show: a window of the given size at a frame position, holding
// glyphs placed at pen positions.
struct ExpectedLayer {
    int32_t x, y, width, height;
    const std::vector<int32_t>* widths;
    struct Glyph {
        uint8_t byte;
        int32_t x, y;
    };
    std::vector<Glyph> glyphs;
};

class SpriteRender : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        // Font 0: glyph i is 3 + i % 5 wide; font 1: every glyph 5 wide. Both 12 high.
        for (int32_t i = 0; i < kGlyphSlots; ++i) {
            varied_.push_back(3 + i % 5);
            uniform_.push_back(5);
        }
        Image sheet;
        buildSheet(sheet, varied_, 12);
        ASSERT_TRUE(writeTga((dir_ + "/varied.tga").c_str(), sheet));
        writeFile(dir_ + "/varied.txt", "'l'o\t-2\n");
        Image uniform;
        buildSheet(uniform, uniform_, 12);
        ASSERT_TRUE(writeTga((dir_ + "/uniform.tga").c_str(), uniform));
    }

    // Pen positions of a single line drawn with `widths`, spacing 1 and the given pair values.
    std::vector<ExpectedLayer::Glyph> line(const std::string& text,
                                           const std::vector<int32_t>& widths, int32_t x, int32_t y,
                                           const std::string& tightPair = "") {
        std::vector<ExpectedLayer::Glyph> out;
        for (size_t i = 0; i < text.size(); ++i) {
            out.push_back({uint8_t(text[i]), x, y});
            x += widths[size_t(glyphIndexOf(uint8_t(text[i])))] + 1;
            if (!tightPair.empty() && text[i] == tightPair[0] && i + 1 < text.size() &&
                text[i + 1] == tightPair[1])
                x -= 2;
        }
        return out;
    }

    // The frame: opaque black, and each layer window copied over it (blend mode 0, set by the
    // scripts so that the expectation needs no blending arithmetic).
    std::vector<uint8_t> expectedFrame(const std::vector<ExpectedLayer>& layers) {
        std::vector<uint8_t> frame(size_t(kFrameWidth) * kFrameHeight * 4, 0);
        for (size_t i = 3; i < frame.size(); i += 4)
            frame[i] = 255;
        for (const ExpectedLayer& layer : layers) {
            for (int32_t y = 0; y < layer.height; ++y)
                for (int32_t x = 0; x < layer.width; ++x)
                    set(frame, layer.x + x, layer.y + y, 0, 0, 0, 0);
            for (const ExpectedLayer::Glyph& g : layer.glyphs) {
                const int32_t index = glyphIndexOf(g.byte);
                for (int32_t y = std::max(0, g.y); y < std::min(layer.height, g.y + 12); ++y)
                    for (int32_t x = std::max(0, g.x);
                         x < std::min(layer.width, g.x + (*layer.widths)[size_t(index)]); ++x)
                        set(frame, layer.x + x, layer.y + y, 200, uint8_t(100 + index / 2),
                            uint8_t(index), 255);
            }
        }
        return frame;
    }

    static void set(std::vector<uint8_t>& frame, int32_t x, int32_t y, uint8_t r, uint8_t g,
                    uint8_t b, uint8_t a) {
        uint8_t* p = frame.data() + (size_t(y) * kFrameWidth + size_t(x)) * 4;
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = a;
    }

    // Runs the script and returns the one frame it writes.
    std::vector<uint8_t> render(const std::string& script) {
        writeFile(dir_ + "/script.txt", script);
        const std::string raw = dir_ + "/frame.raw";
        const std::string command = std::string(KAVELIN_BINARY) + " render --raw '" + raw + "' '" +
                                    dir_ + "/script.txt' > '" + dir_ + "/replies.txt' 2> '" + dir_ +
                                    "/log.txt'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        std::ifstream in(raw, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string replies() const {
        std::ifstream in(dir_ + "/replies.txt");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Index of the first differing byte, as "x,y byte" for a readable failure.
    static std::string firstDifference(const std::vector<uint8_t>& a,
                                       const std::vector<uint8_t>& b) {
        if (a.size() != b.size())
            return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i])
                return std::to_string(i / 4 % kFrameWidth) + "," +
                       std::to_string(i / 4 / kFrameWidth) + " byte " + std::to_string(i % 4);
        return "none";
    }

    std::string dir_;
    std::vector<int32_t> varied_, uniform_;
};

// One line with a kerned pair and a second, clipped drawing into it; word-wrapped upper-case
// lines; a layer fitted to its text.
TEST_F(SpriteRender, SingleWrappedAndFittedText) {
    const std::string fonts = "58 0 " + dir_ +
                              "/varied.tga\t0 255 255 0 0 0 0 0 0 0 0\n"
                              "58 1 " +
                              dir_ + "/uniform.tga\t0 255 255 0 0 0 0 0 0 0 0\n";
    const std::string script = "116\n121 0\n121 0\n121 0\n" + fonts +
                               "65 0 200 20 0 Hello, World!\t0 0 0\n"
                               "93 0 -3 10 0 AB\t0 0 0\n106 0\n"
                               "65 1 40 60 1 one two three four\t2 1 15\n"
                               "95 2 300 100 1 Fit me\t0 0 0\n124 2\n"
                               "66 0 30 40\n66 1 100 100\n66 2 400 300\n"
                               "78 0 0 255\n78 1 0 255\n78 2 0 255\n75 0\n75 1\n75 2\n@wait\n";
    const std::vector<uint8_t> frame = render(script);
    // 'AB' at x -3: A (3 wide) is wholly cut off and adds nothing, B is 4 wide.
    EXPECT_EQ(replies(), "OK 0\nOK 0\nOK 1\nOK 2\nOK\nOK\nOK\nOK\nOK 4 10\nOK\nOK\nOK 35 12\n"
                         "OK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\nOK\n");
    ExpectedLayer single{30, 40, 200, 20, &varied_, line("Hello, World!", varied_, 0, 0, "lo")};
    for (const auto& g : line("AB", varied_, -3, 10))
        single.glyphs.push_back(g);
    ExpectedLayer wrapped{100, 100, 40, 60, &uniform_, {}};
    const char* lines[] = {"ONE", "TWO", "THREE", "FOUR"};
    for (int32_t k = 0; k < 4; ++k)
        for (const auto& g : line(lines[k], uniform_, 0, k * 15))
            wrapped.glyphs.push_back(g);
    const ExpectedLayer fitted{400, 300, 35, 12, &uniform_, line("Fit me", uniform_, 0, 0)};
    const std::vector<uint8_t> expected = expectedFrame({single, wrapped, fitted});
    EXPECT_TRUE(frame == expected) << firstDifference(frame, expected);
}

// The example font set loads with its effect, and the example script runs cleanly.
TEST_F(SpriteRender, ExampleFontSetAndScript) {
    const std::string command = std::string("cd '") + KAVELIN_SOURCE_DIR + "' && " +
                                KAVELIN_BINARY + " render examples/sprite_text.txt > '" + dir_ +
                                "/replies.txt' 2> '" + dir_ + "/log.txt'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string r = replies();
    EXPECT_EQ(r.find("ERROR"), std::string::npos) << r;
    std::ifstream in(dir_ + "/log.txt");
    const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(log.find("         - effect file loaded."), std::string::npos) << log;
    EXPECT_NE(log.find("initLayer_text_fit : init successful."), std::string::npos) << log;
}

} // namespace
} // namespace kavelin::test
