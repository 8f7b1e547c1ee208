#include "text/CharacterMap.h"
#include "text/SpriteFont.h"

#include "text/FontFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace kavelin::test {
namespace {

// A font of all 99 glyphs, each `width` wide and `height` high, read from a file so the
// loader's cells are used; defaultSpacing stays 1 unless a spacing line is given.
class SpriteFontDraw : public ::testing::Test {
protected:
    void loadFont(int32_t width, int32_t height, const std::string& spacing = "",
                  int32_t glyphs = kGlyphSlots) {
        const std::string dir =
            tempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        Image sheet;
        buildSheet(sheet, std::vector<int32_t>(size_t(glyphs), width), height);
        ASSERT_TRUE(writeTga((dir + "/f.tga").c_str(), sheet));
        if (!spacing.empty())
            writeFile(dir + "/f.txt", spacing);
        ASSERT_TRUE(font_.load((dir + "/f.tga").c_str(), 255));
    }
    void target(int32_t w, int32_t h) { ASSERT_TRUE(image_.allocate(w, h)); }
    std::pair<int32_t, int32_t> lastSize() const {
        int32_t w = 0, h = 0;
        font_.lastTextSize(w, h);
        return {w, h};
    }
    // The characters of the line whose top is y, read back one cell pitch at a time.
    std::string readLine(int32_t y, int32_t pitch, int32_t count) const {
        std::string out;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t g = glyphAt(image_, i * pitch, y);
            out += g < 0 ? '~' : char(byteOfGlyph(g));
        }
        return out;
    }
    SpriteFont font_;
    Image image_;
};

TEST_F(SpriteFontDraw, PairSpacingAndClippingAtTheLeftEdge) {
    loadFont(10, 4, "'A'V\t-2\n");
    target(40, 10);
    EXPECT_EQ(font_.measureRun("AV", 0, 2), 19);
    ASSERT_TRUE(font_.drawLine("AV", &image_, 0, 0));
    EXPECT_EQ(glyphAt(image_, 0, 0), 10);
    EXPECT_EQ(glyphAt(image_, 8, 0), 10);
    EXPECT_EQ(glyphAt(image_, 9, 0), 31); // V starts on A's last column
    EXPECT_EQ(glyphAt(image_, 18, 3), 31);
    EXPECT_EQ(glyphAt(image_, 19, 0), -1);
    EXPECT_EQ(glyphAt(image_, 0, 4), -1);
    EXPECT_EQ(lastSize(), std::make_pair(19, 4));

    target(40, 10);
    ASSERT_TRUE(font_.drawLine("AV", &image_, -5, 0));
    EXPECT_EQ(glyphAt(image_, 0, 0), 10);
    EXPECT_EQ(glyphAt(image_, 3, 0), 10);
    EXPECT_EQ(glyphAt(image_, 4, 0), 31);
    EXPECT_EQ(glyphAt(image_, 13, 0), 31);
    EXPECT_EQ(glyphAt(image_, 14, 0), -1);
    EXPECT_EQ(lastSize().first, 14);
}

TEST_F(SpriteFontDraw, ClippingAtTheOtherEdgesAndOutsideTheImage) {
    loadFont(10, 6);
    target(25, 4);
    ASSERT_TRUE(font_.drawLine("ABC", &image_, 0, -3)); // top 3 rows cut, C half right
    EXPECT_EQ(glyphAt(image_, 22, 0), 12);
    EXPECT_EQ(glyphAt(image_, 24, 2), 12);
    EXPECT_EQ(glyphAt(image_, 0, 3), -1);
    // A and B whole (10 + 1 each), C its visible 3 columns; last height the visible 3 rows.
    EXPECT_EQ(lastSize(), std::make_pair(25, 3));
    for (auto [x, y] : {std::pair{-1000, 0},
                        {1000, 0},
                        {0, -1000},
                        {0, 1000},
                        {INT32_MAX, INT32_MAX},
                        {INT32_MIN, INT32_MIN}}) {
        ASSERT_TRUE(font_.drawLine("ABC", &image_, x, y));
        EXPECT_EQ(lastSize(), std::make_pair(0, 0)) << x << "," << y;
    }
    Image empty;
    EXPECT_FALSE(font_.drawLine("A", &empty, 0, 0));
    EXPECT_FALSE(font_.drawLine("A", nullptr, 0, 0));
}

TEST_F(SpriteFontDraw, GlyphsMissingFromTheSheetTakeNoRoom) {
    loadFont(10, 4, "", 12); // digits, A and B only
    target(40, 4);
    ASSERT_TRUE(font_.drawLine("AzB", &image_, 0, 0));
    EXPECT_EQ(glyphAt(image_, 11, 0), 11); // B right after A and its spacing
    // 'z' is the next character of A, so A's spacing is taken; z gives none; B is last.
    EXPECT_EQ(lastSize().first, 21);
    EXPECT_EQ(font_.measureRun("zzz", 0, 3), 0);
    // 'ü' draws as the space glyph, which this sheet does not have.
    EXPECT_EQ(font_.measureRun("\xFC", 0, 1), 0);
}

TEST_F(SpriteFontDraw, WrappingBreaksAtSpacesAndKeepsOneTrailingSpace) {
    loadFont(10, 4); // advance 11, width of n characters 11n - 1
    target(100, 40);
    ASSERT_TRUE(font_.drawWrapped("one two three", &image_, 0, 0, 10));
    EXPECT_EQ(readLine(0, 11, 9), "one two~~");
    EXPECT_EQ(readLine(10, 11, 6), "three~");
    EXPECT_EQ(lastSize(), std::make_pair(76, 20));

    target(100, 40);
    ASSERT_TRUE(font_.drawWrapped("one two  three", &image_, 0, 0, 10));
    EXPECT_EQ(readLine(0, 11, 9), "one two ~"); // this sheet's space glyph is visible
    EXPECT_EQ(readLine(10, 11, 6), "three~");
    EXPECT_EQ(lastSize(), std::make_pair(87, 20)); // 'one two ' counts its space
}

TEST_F(SpriteFontDraw, LongWordsAreCutAndAlwaysMakeProgress) {
    loadFont(10, 4);
    target(50, 40);
    ASSERT_TRUE(font_.drawWrapped("abcdefg", &image_, 0, 0, 10));
    EXPECT_EQ(readLine(0, 11, 5), "abcd~"); // 4 characters are 43 wide, 5 are 54
    EXPECT_EQ(readLine(10, 11, 4), "efg~");
    target(5, 40);
    ASSERT_TRUE(font_.drawWrapped("ab", &image_, 0, 0, 10));
    EXPECT_EQ(glyphAt(image_, 0, 0), glyphIndexOf('a'));
    EXPECT_EQ(glyphAt(image_, 0, 10), glyphIndexOf('b'));
    EXPECT_EQ(lastSize(), std::make_pair(5, 20));
    target(50, 40);
    ASSERT_TRUE(font_.drawWrapped("  ab cd", &image_, 0, 0, 10)); // leading spaces stay
    EXPECT_EQ(readLine(0, 11, 5), "  ab~");
    EXPECT_EQ(readLine(10, 11, 3), "cd~");
}

TEST_F(SpriteFontDraw, LineLimitAndLastHeight) {
    loadFont(10, 30);
    target(30, 300);
    // Tops 100 and 150 are below 300 - 100; the third top, 200, is not.
    ASSERT_TRUE(font_.drawWrapped("a b c d", &image_, 0, 100, 50));
    EXPECT_EQ(glyphAt(image_, 0, 100), glyphIndexOf('a'));
    EXPECT_EQ(glyphAt(image_, 0, 150), glyphIndexOf('b'));
    EXPECT_EQ(glyphAt(image_, 0, 200), -1);
    EXPECT_EQ(lastSize(), std::make_pair(10, 100));

    ASSERT_TRUE(font_.drawWrapped("a b c", &image_, 0, 0, 20));
    EXPECT_EQ(lastSize(), std::make_pair(10, 70));
    ASSERT_TRUE(font_.drawWrapped("a b c", &image_, 0, 0, 40));
    EXPECT_EQ(lastSize(), std::make_pair(10, 120));

    ASSERT_TRUE(font_.drawWrapped("", &image_, 0, 0, 40));
    EXPECT_EQ(lastSize(), std::make_pair(0, 0));
    ASSERT_TRUE(font_.drawWrapped("a", &image_, 0, 150, 40)); // y not below the limit
    EXPECT_EQ(lastSize(), std::make_pair(0, 0));
    EXPECT_FALSE(font_.drawWrapped("a", &image_, 0, 0, 0));
}

TEST_F(SpriteFontDraw, AtMost255WrappedLines) {
    loadFont(2, 1);
    target(3, 2000);
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "a ";
    ASSERT_TRUE(font_.drawWrapped(text.c_str(), &image_, 0, 0, 2));
    EXPECT_EQ(glyphAt(image_, 0, 254 * 2), glyphIndexOf('a'));
    EXPECT_EQ(glyphAt(image_, 0, 255 * 2), -1);
    EXPECT_EQ(lastSize(), std::make_pair(2, 510));
}

TEST_F(SpriteFontDraw, EffectSheetDrawsUnderneathAndASmallOneIsClipped) {
    const std::string dir = tempDir("effect");
    Image sheet;
    buildSheet(sheet, std::vector<int32_t>(size_t(kGlyphSlots), 4), 4);
    ASSERT_TRUE(writeTga((dir + "/e.tga").c_str(), sheet));
    // An effect sheet that holds only the first 12 cells and 3 of the 4 glyph rows.
    Image effect;
    ASSERT_TRUE(effect.allocate(12 * 5, 5));
    for (int32_t y = 2; y < 5; ++y)
        for (int32_t x = 0; x < 60; ++x)
            putPixel(effect, x, y, 0, 0, 250, 255);
    ASSERT_TRUE(writeTga((dir + "/e_EFFECT.tga").c_str(), effect));
    ASSERT_TRUE(font_.load((dir + "/e.tga").c_str(), 255));
    ASSERT_TRUE(font_.loadEffect(255));
    target(30, 10);
    ASSERT_TRUE(font_.drawLine("AZ", &image_, 0, 0));
    EXPECT_EQ(glyphAt(image_, 0, 0), 10); // the glyph covers its effect
    // With invisible glyphs the effect shows, as far as its sheet reaches.
    ASSERT_TRUE(font_.load((dir + "/e.tga").c_str(), 0));
    ASSERT_TRUE(font_.loadEffect(255));
    target(30, 10);
    ASSERT_TRUE(font_.drawLine("AZ", &image_, 0, 0));
    EXPECT_EQ(glyphAt(image_, 0, 0), 250);
    EXPECT_EQ(glyphAt(image_, 3, 2), 250);
    EXPECT_EQ(glyphAt(image_, 3, 3), -1);        // the effect sheet has no fourth row
    EXPECT_EQ(glyphAt(image_, 5, 0), -1);        // Z's cell lies outside the effect sheet
    EXPECT_EQ(lastSize(), std::make_pair(9, 4)); // the glyph run's size
    ASSERT_TRUE(font_.drawWrapped("A Z", &image_, 0, 0, 5));
    EXPECT_EQ(glyphAt(image_, 0, 5), -1);
}

} // namespace
} // namespace kavelin::test
