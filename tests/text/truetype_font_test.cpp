#include "FontSystemFixture.h"
#include "text/DropShadowEffect.h"
#include "text/FontMatch.h"
#include "text/TrueTypeFont.h"
#include "text/VerticalSmoothEffect.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kavelin {
namespace {

using test::FontSystemTest;
using TrueTypeFontTest = FontSystemTest;

TEST_F(TrueTypeFontTest, HeightFollowsTheCellAndEmConvention) {
    TrueTypeFont font;
    int32_t w = 0, h = 0;
    // Positive: the cell is exactly that high.
    for (int32_t height : {1, 24, 48, 100}) {
        ASSERT_TRUE(font.load("DejaVu Sans", height, false, false, 1, 11));
        ASSERT_TRUE(font.measureText(u"Hg", w, h));
        EXPECT_EQ(h, height);
        EXPECT_EQ(font.height(), height);
    }
    // Negative: the em is that high, so the cell (ascent + descent of DejaVu Sans, about 1.16
    // em) is higher.
    ASSERT_TRUE(font.load("DejaVu Sans", -48, false, false, 1, 11));
    ASSERT_TRUE(font.measureText(u"Hg", w, h));
    EXPECT_GT(h, 48);
    EXPECT_LT(h, 60);
    const int32_t emWidth = w;
    ASSERT_TRUE(font.load("DejaVu Sans", 48, false, false, 1, 11));
    ASSERT_TRUE(font.measureText(u"Hg", w, h));
    EXPECT_LT(w, emWidth); // a 48-pixel cell holds a smaller em than a 48-pixel em
    // 0 is an em of 16 pixels.
    int32_t w0 = 0, h0 = 0, w16 = 0, h16 = 0;
    ASSERT_TRUE(font.load("DejaVu Sans", 0, false, false, 1, 11));
    ASSERT_TRUE(font.measureText(u"Sample", w0, h0));
    ASSERT_TRUE(font.load("DejaVu Sans", -16, false, false, 1, 11));
    ASSERT_TRUE(font.measureText(u"Sample", w16, h16));
    EXPECT_EQ(w0, w16);
    EXPECT_EQ(h0, h16);
}

TEST_F(TrueTypeFontTest, OutsizedHeightsAreRefusedAndLeaveTheFontUnloaded) {
    TrueTypeFont font;
    for (int32_t height : {100000, -100000, INT32_MIN, INT32_MAX, 1025}) {
        ASSERT_TRUE(font.load("DejaVu Sans", 32, false, false, 1, 11));
        ASSERT_TRUE(font.addEffect(std::make_unique<VerticalSmoothEffect>()));
        EXPECT_FALSE(font.load("DejaVu Sans", height, false, false, 1, 11)) << height;
        EXPECT_FALSE(font.loaded());
        EXPECT_EQ(font.effectCount(), 0);
        EXPECT_TRUE(font.faceName().empty());
    }
    EXPECT_TRUE(font.load("DejaVu Sans", 1024, false, false, 1, 11));
}

TEST_F(TrueTypeFontTest, UnknownEmptyNamesAndOddSelectorsStillLoad) {
    TrueTypeFont font;
    int32_t w = 0, h = 0;
    EXPECT_TRUE(font.load("No Such Face 12345", 20, false, false, 1, 11));
    EXPECT_EQ(font.faceName(), "No Such Face 12345");
    EXPECT_TRUE(font.measureText(u"abc", w, h));
    EXPECT_GT(w, 0);
    EXPECT_TRUE(font.load("", 20, false, false, 1, 11));
    EXPECT_EQ(font.faceName(), "");
    for (int32_t selector : {-1, 0, 1, 9, 13, 99})
        EXPECT_TRUE(font.load("DejaVu Sans", 20, true, true, 1, selector)) << selector;
    EXPECT_EQ(font.charsetSelector(), 99);
    EXPECT_FALSE(font.load(nullptr, 20, false, false, 1, 11));
}

TEST_F(TrueTypeFontTest, MetricCompatibleFacesStandInForCommonNames) {
    MatchedFace match;
    ASSERT_TRUE(matchFace("Arial", false, false, 11, match));
    EXPECT_NE(match.file.find("LiberationSans"), std::string::npos) << match.file;
    ASSERT_TRUE(matchFace("Times New Roman", true, false, 11, match));
    EXPECT_NE(match.file.find("LiberationSerif-Bold"), std::string::npos) << match.file;
    EXPECT_FALSE(match.synthesiseBold);
    ASSERT_TRUE(matchFace("DejaVu Sans", false, true, 11, match));
    EXPECT_FALSE(match.synthesiseItalic); // DejaVu Sans has an oblique face
}

TEST_F(TrueTypeFontTest, SynthesisedBoldIsWiderThanRegular) {
    // DejaVu Sans Mono has a bold face, Liberation Sans Narrow has no oblique of its own in some
    // installs; the bold request must widen text either way.
    TrueTypeFont font;
    int32_t regular = 0, bold = 0, h = 0;
    ASSERT_TRUE(font.load("DejaVu Sans", 32, false, false, 1, 11));
    ASSERT_TRUE(font.measureText(u"Kavelin", regular, h));
    ASSERT_TRUE(font.load("DejaVu Sans", 32, true, false, 1, 11));
    ASSERT_TRUE(font.measureText(u"Kavelin", bold, h));
    EXPECT_GT(bold, regular);
}

TEST_F(TrueTypeFontTest, UnpairedSurrogatesMeasureAsTheReplacementCharacter) {
    TrueTypeFont font;
    ASSERT_TRUE(font.load("DejaVu Sans", 30, false, false, 1, 11));
    int32_t lone = 0, replacement = 0, h = 0;
    ASSERT_TRUE(font.measureText(std::u16string_view(u"a\xD800"
                                                     u"b",
                                                     3),
                                 lone, h));
    ASSERT_TRUE(font.measureText(u"a\uFFFDb", replacement, h));
    EXPECT_EQ(lone, replacement);
    ASSERT_TRUE(font.measureText(std::u16string_view(u"\xDC00", 1), lone, h));
    EXPECT_GT(lone, 0);
}

TEST_F(TrueTypeFontTest, EffectsAreLimitedToTenAndDroppedByLoading) {
    TrueTypeFont font;
    ASSERT_TRUE(font.load("DejaVu Sans", 30, false, false, 1, 11));
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(font.addEffect(std::make_unique<VerticalSmoothEffect>()));
    EXPECT_FALSE(font.addEffect(std::make_unique<VerticalSmoothEffect>()));
    EXPECT_FALSE(font.addEffect(nullptr));
    EXPECT_EQ(font.effectCount(), 10);
    ASSERT_TRUE(font.load("DejaVu Sans", 30, false, false, 1, 11));
    EXPECT_EQ(font.effectCount(), 0);
    EXPECT_TRUE(font.addEffect(std::make_unique<DropShadowEffect>(0, 1, 0, 0, 0, 0, 255)));
}

TEST_F(TrueTypeFontTest, GlyphsAreRasterisedOnceAndTheCacheGoesWithTheLoad) {
    TrueTypeFont font;
    ASSERT_TRUE(font.load("DejaVu Sans", 30, false, false, 1, 11));
    EXPECT_EQ(font.cachedGlyphs(), 0u);
    LineBitmap first, second;
    ASSERT_TRUE(font.renderLine(u"abcab", 0xFFFFFFFF, first));
    EXPECT_EQ(font.cachedGlyphs(), 3u);
    ASSERT_TRUE(font.renderLine(u"abcab", 0xFFFFFFFF, second));
    EXPECT_EQ(font.cachedGlyphs(), 3u);
    ASSERT_EQ(first.width, second.width);
    EXPECT_TRUE(std::equal(first.pixels.get(), first.pixels.get() + first.width * first.height * 4,
                           second.pixels.get()));
    ASSERT_TRUE(font.load("DejaVu Sans", 30, false, false, 1, 11));
    EXPECT_EQ(font.cachedGlyphs(), 0u);
}

} // namespace
} // namespace kavelin
