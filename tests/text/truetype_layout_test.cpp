#include "FontSystemFixture.h"
#include "text/DropShadowEffect.h"
#include "text/TrueTypeFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kavelin {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

struct Canvas {
    int32_t width, height;
    std::vector<uint8_t> pixels;
    Canvas(int32_t w, int32_t h) : width(w), height(h), pixels(static_cast<size_t>(w * h * 4), 0) {}
    uint8_t* data() { return pixels.data(); }
    bool blank() const {
        return std::all_of(pixels.begin(), pixels.end(), [](uint8_t b) { return b == 0; });
    }
};

class TrueTypeLayoutTest : public test::FontSystemTest {
protected:
    void SetUp() override {
        FontSystemTest::SetUp();
        ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 1, 11));
    }
    int32_t widthOf(std::u16string_view text) {
        int32_t w = 0, h = 0;
        EXPECT_TRUE(font.measureText(text, w, h));
        return w;
    }
    // The picture of the given lines, each drawn on its own at y = k × spacing.
    Canvas expected(int32_t w, int32_t h, std::vector<std::u16string> lines, int32_t spacing) {
        Canvas c(w, h);
        for (size_t k = 0; k < lines.size(); ++k)
            EXPECT_TRUE(font.renderText(c.data(), w, h, 0, static_cast<int32_t>(k) * spacing,
                                        lines[k], kWhite, false, 0));
        return c;
    }
    void expectLast(int32_t width, int32_t height, int32_t lines) {
        int32_t w = 0, h = 0;
        font.lastTextSize(w, h);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_EQ(font.lastTextLines(), lines);
    }
    TrueTypeFont font;
};

TEST_F(TrueTypeLayoutTest, WrapsAtTheLastSpaceThatFits) {
    const int32_t w7 = widthOf(u"one two");
    ASSERT_GT(widthOf(u"one two t"), w7);
    Canvas c(w7, 80);
    ASSERT_TRUE(
        font.renderText(c.data(), c.width, c.height, 0, 0, u"one two three", kWhite, true, 30));
    expectLast(w7, 30 + 24, 2);
    EXPECT_EQ(c.pixels, expected(w7, 80, {u"one two", u"three"}, 30).pixels);

    // Two spaces and a fit of exactly 7: one space is consumed, the next line keeps the other.
    Canvas d(w7, 80);
    ASSERT_TRUE(
        font.renderText(d.data(), d.width, d.height, 0, 0, u"one two  three", kWhite, true, 30));
    EXPECT_EQ(font.lastTextLines(), 2);
    EXPECT_EQ(d.pixels, expected(w7, 80, {u"one two", u" three"}, 30).pixels);
}

TEST_F(TrueTypeLayoutTest, AnOverlongWordIsCutWhereItStopsFitting) {
    const int32_t w3 = widthOf(u"abc");
    ASSERT_GT(widthOf(u"abcd"), w3);
    Canvas c(w3, 200);
    ASSERT_TRUE(
        font.renderText(c.data(), c.width, c.height, 0, 0, u"abcdefghij", kWhite, true, 40));
    EXPECT_EQ(font.lastTextLines(), 4);
    EXPECT_EQ(c.pixels, expected(w3, 200, {u"abc", u"def", u"ghi", u"j"}, 40).pixels);
}

TEST_F(TrueTypeLayoutTest, NoRoomLeavesOneCodeUnitPerLineAndNothingVisible) {
    for (int32_t x : {40, 41, 1000, INT32_MAX}) {
        Canvas c(40, 40);
        ASSERT_TRUE(font.renderText(c.data(), c.width, c.height, x, 0, u"a b", kWhite, true, 10));
        // 'a' (the space after it is the break and is consumed), then 'b'.
        expectLast(0, 10 + 24, 2);
        EXPECT_TRUE(c.blank());
    }
    // A thousand characters without spaces in a ten-pixel-wide layer.
    std::u16string many(1000, u'W');
    Canvas narrow(10, 50);
    ASSERT_TRUE(font.renderText(narrow.data(), 10, 50, 0, 0, many, kWhite, true, 2));
    EXPECT_EQ(font.lastTextLines(), 1000);
}

TEST_F(TrueTypeLayoutTest, LastHeightFollowsSpacingAndTheLastLine) {
    Canvas c(400, 100);
    const int32_t w3 = widthOf(u"one");
    ASSERT_TRUE(font.renderText(c.data(), w3, c.height, 0, 0, u"one two", kWhite, true, 30));
    expectLast(w3, 54, 2);
    ASSERT_TRUE(font.renderText(c.data(), w3, c.height, 0, 0, u"one two", kWhite, true, 0));
    expectLast(w3, 24, 2);
    ASSERT_TRUE(font.renderText(c.data(), w3, c.height, 0, 0, u"one two", kWhite, true, -10));
    expectLast(w3, 14, 2);
    // Lines below the bottom edge are still counted.
    ASSERT_TRUE(
        font.renderText(c.data(), w3, c.height, 0, 90, u"one two one two", kWhite, true, 50));
    EXPECT_EQ(font.lastTextLines(), 4);
}

TEST_F(TrueTypeLayoutTest, SingleLineReportsItsClippedSize) {
    const int32_t w = widthOf(u"Kavelin");
    ASSERT_LT(w, 100);
    Canvas c(300, 50);
    ASSERT_TRUE(font.renderText(c.data(), 300, 50, -10, 0, u"Kavelin", kWhite, false, 0));
    expectLast(w - 10, 24, 1);
    Canvas d(300, 50);
    ASSERT_TRUE(font.renderText(d.data(), 300, 50, -100, 0, u"Kavelin", kWhite, false, 0));
    expectLast(w - 100, 24, 1);
    EXPECT_TRUE(d.blank());
    ASSERT_TRUE(font.renderText(d.data(), 300, 50, 10, 40, u"Kavelin", kWhite, false, 0));
    expectLast(w, 10, 1);
}

TEST_F(TrueTypeLayoutTest, EmptyTextTouchesNothing) {
    Canvas c(20, 20);
    for (bool wrap : {false, true}) {
        ASSERT_TRUE(font.renderText(c.data(), 20, 20, 0, 0, u"", kWhite, wrap, 5));
        expectLast(0, 0, 1);
    }
    EXPECT_TRUE(c.blank());
    EXPECT_FALSE(font.renderText(nullptr, 20, 20, 0, 0, u"x", kWhite, false, 0));
}

TEST_F(TrueTypeLayoutTest, LineBitmapCarriesTheColourWithCoverageAsAlpha) {
    LineBitmap line;
    ASSERT_TRUE(font.renderLine(u"H", 0x80336699, line));
    EXPECT_EQ(line.width, widthOf(u"H"));
    EXPECT_EQ(line.height, 24);
    uint8_t maxAlpha = 0;
    for (int32_t i = 0; i < line.width * line.height; ++i) {
        const uint8_t* p = line.pixels.get() + i * 4;
        ASSERT_EQ(p[0], 0x33); // blue from bits 16-23
        ASSERT_EQ(p[1], 0x66);
        ASSERT_EQ(p[2], 0x99); // red from bits 0-7
        maxAlpha = std::max(maxAlpha, p[3]);
    }
    EXPECT_EQ(maxAlpha, 255); // the stems of H are solid
}

TEST_F(TrueTypeLayoutTest, RightToLeftLinesReadFromTheRightEdge) {
    LineBitmap ltr, rtl, guessed;
    ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 1, 11));
    ASSERT_TRUE(font.renderLine(u"ba", kWhite, ltr));
    ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 2, 11));
    ASSERT_TRUE(font.renderLine(u"ab", kWhite, rtl));
    ASSERT_EQ(ltr.width, rtl.width);
    EXPECT_TRUE(std::equal(ltr.pixels.get(), ltr.pixels.get() + ltr.width * ltr.height * 4,
                           rtl.pixels.get()));
    // Any other direction takes it from the text: Arabic comes out as with direction 2.
    const std::u16string arabic = u"\u0645\u0631\u062D\u0628\u0627";
    ASSERT_TRUE(font.renderLine(arabic, kWhite, rtl));
    ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 0, 11));
    ASSERT_TRUE(font.renderLine(arabic, kWhite, guessed));
    ASSERT_EQ(guessed.width, rtl.width);
    EXPECT_TRUE(std::equal(rtl.pixels.get(), rtl.pixels.get() + rtl.width * rtl.height * 4,
                           guessed.pixels.get()));
}

TEST_F(TrueTypeLayoutTest, AVeryLongLineIsCutAt32768Pixels) {
    ASSERT_TRUE(font.load("DejaVu Sans", 200, false, false, 1, 11));
    const std::u16string text(300, u'W');
    ASSERT_GT(widthOf(text), TrueTypeFont::kMaxLineWidth);
    LineBitmap line;
    ASSERT_TRUE(font.renderLine(text, kWhite, line));
    EXPECT_EQ(line.width, TrueTypeFont::kMaxLineWidth);
    EXPECT_EQ(line.height, 200);
}

TEST_F(TrueTypeLayoutTest, EffectsRunOnEveryLineBeforeItIsBlended) {
    ASSERT_TRUE(font.addEffect(std::make_unique<DropShadowEffect>(90, 5, 0, 255, 0, 0, 255)));
    const int32_t w = widthOf(u"I");
    Canvas c(w, 100);
    ASSERT_TRUE(font.renderText(c.data(), w, 100, 0, 0, u"I I", 0xFFFFFFFF, true, 40));
    EXPECT_EQ(font.lastTextLines(), 2);
    // Under each stem: white text where it is, red shadow in the five rows below its foot.
    for (int32_t top : {0, 40}) {
        bool red = false;
        for (int32_t y = top + 20; y < top + 30 && y < 100; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const uint8_t* p = c.pixels.data() + (y * w + x) * 4;
                red = red || (p[2] > 200 && p[1] < 50 && p[3] > 200);
            }
        EXPECT_TRUE(red) << top;
    }
}

} // namespace
} // namespace kavelin
