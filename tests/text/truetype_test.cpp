// TrueType text: heights, loading, line breaking and layout, line bitmaps, effects, real bold
// faces, the font system's lifetime and the glyph cache.
#include "support/ScopedMemoryLimit.h"
#include "text/DropShadowEffect.h"
#include "text/FontMatch.h"
#include "text/FontSystem.h"
#include "text/GlyphCache.h"
#include "text/LineBreak.h"
#include "text/TrueTypeFont.h"
#include "text/VerticalSmoothEffect.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace kavelin {
namespace {

// Keeps the font system up for the duration of a test.
class FontSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        const Status up = initFontSystem();
        ASSERT_TRUE(up.ok()) << up.reason();
    }
    void TearDown() override { shutdownFontSystem(); }
};

constexpr uint32_t kWhite = 0xFFFFFFFF;
using Pixels = std::vector<uint8_t>;

struct Canvas {
    int32_t width, height;
    Pixels pixels;
    Canvas(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w * h * 4), 0) {}
    bool blank() const { return pixels == Pixels(pixels.size(), 0); }
};

Pixels pixelsOf(const LineBitmap& line) {
    return Pixels(line.pixels.get(), line.pixels.get() + line.width * line.height * 4);
}

class TrueTypeTest : public FontSystemTest {
protected:
    void SetUp() override {
        FontSystemTest::SetUp();
        ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 1, 11));
    }
    std::pair<int32_t, int32_t> measure(std::u16string_view text) {
        int32_t w = -1, h = -1;
        EXPECT_TRUE(font.measureText(text, w, h));
        return {w, h};
    }
    int32_t widthOf(std::u16string_view text) { return measure(text).first; }
    Status draw(Canvas& c, int32_t x, int32_t y, std::u16string_view text, bool wrap,
                int32_t spacing, int32_t width = -1) {
        return font.renderText(c.pixels.data(), width < 0 ? c.width : width, c.height, x, y, text,
                               kWhite, wrap, spacing);
    }
    // The picture of the given lines, each drawn on its own at y = k * spacing.
    Pixels expected(int32_t w, int32_t h, std::vector<std::u16string> lines, int32_t spacing) {
        Canvas c(w, h);
        for (size_t k = 0; k < lines.size(); ++k)
            EXPECT_TRUE(draw(c, 0, int32_t(k) * spacing, lines[k], false, 0));
        return c.pixels;
    }
    std::tuple<int32_t, int32_t, int32_t> last() const {
        int32_t w = 0, h = 0;
        font.lastTextSize(w, h);
        return {w, h, font.lastTextLines()};
    }
    TrueTypeFont font;
};

TEST_F(TrueTypeTest, HeightFollowsTheCellAndEmConvention) {
    auto load = [&](int32_t height) {
        EXPECT_TRUE(font.load("DejaVu Sans", height, false, false, 1, 11)) << height;
    };
    for (int32_t height : {1, 100, 48}) { // positive: the cell is exactly that high
        load(height);
        EXPECT_EQ(measure(u"Hg").second, height);
    }
    const auto cell = measure(u"Hg");
    // Negative: the em is that high, so the cell (ascent + descent of DejaVu Sans, about 1.16
    // em) is higher, and the text wider than in a 48-pixel cell.
    load(-48);
    const auto em = measure(u"Hg");
    EXPECT_TRUE(em.second > 48 && em.second < 60 && em.first > cell.first);
    load(-16);
    const auto sample = measure(u"Sample");
    load(0); // an em of 16 pixels
    EXPECT_EQ(measure(u"Sample"), sample);
}

// A load that fails leaves the font as it was, effects included; one that succeeds drops them.
TEST_F(TrueTypeTest, FailedLoadsKeepTheFontAndEveryLoadDropsTheEffects) {
    EXPECT_FALSE(TrueTypeFont().addEffect(std::make_unique<VerticalSmoothEffect>()));
    const int32_t width = widthOf(u"abc");
    ASSERT_TRUE(font.addEffect(std::make_unique<VerticalSmoothEffect>()));
    for (int32_t height : {100000, -100000, INT32_MIN, INT32_MAX, 1025}) {
        const Status loaded = font.load("DejaVu Sans", height, false, false, 1, 11);
        EXPECT_EQ(loaded ? "loaded" : loaded.reason(), "") << height; // no file to name
        EXPECT_TRUE(font.loaded() && font.effectCount() == 1 && font.height() == 24) << height;
        EXPECT_EQ(widthOf(u"abc"), width);
    }
    EXPECT_FALSE(font.load(nullptr, 20, false, false, 1, 11));
    EXPECT_TRUE(font.load("DejaVu Sans", 1024, false, false, 1, 11));
    EXPECT_EQ(font.effectCount(), 0);
    ASSERT_TRUE(font.addEffect(std::make_unique<DropShadowEffect>(0, 1, 0, 0, 0, 0, 255)));
    EXPECT_TRUE(font.load("No Such Face 12345", 20, false, false, 1, 11)); // a fallback face
    EXPECT_TRUE(font.effectCount() == 0 && font.faceName() == "No Such Face 12345");
    EXPECT_GT(widthOf(u"abc"), 0);
}

// A face name that is a path loads that file (in the media folder when there is one); a path
// to anything but a readable font fails, naming the file, and the font stays as it was.
TEST_F(TrueTypeTest, FontFilesNamedByPath) {
    MatchedFace serif;
    ASSERT_TRUE(matchFace("DejaVu Serif", false, false, 11, serif));
    const int32_t sans = widthOf(u"Kavelin");
    const Status bySerifPath = font.load(serif.file.c_str(), 24, false, false, 1, 11);
    ASSERT_TRUE(bySerifPath) << bySerifPath.reason();
    const int32_t serifWidth = widthOf(u"Kavelin");
    EXPECT_NE(serifWidth, sans);
    ASSERT_TRUE(font.addEffect(std::make_unique<VerticalSmoothEffect>()));

    test::TempDir dir("kavelin-fontfile");
    ASSERT_EQ(::mkfifo(dir.file("fifo.ttf").c_str(), 0600), 0);
    std::ofstream(dir.file("text.ttf")) << "not a font";
    std::filesystem::copy_file(serif.file, dir.file("copy.ttf"));
    const std::pair<std::string, std::string> failures[] = {
        {dir.file("fifo.ttf"), dir.file("fifo.ttf") + ": is a FIFO"},
        {dir.file("text.ttf"), dir.file("text.ttf") + ": is not a font file"},
    };
    for (const auto& [path, reason] : failures) {
        const Status loaded = font.load(path.c_str(), 24, false, false, 1, 11);
        EXPECT_EQ(loaded ? "loaded" : loaded.reason(), reason);
        EXPECT_EQ(std::tuple(font.faceName(), font.effectCount(), widthOf(u"Kavelin")),
                  std::tuple(serif.file, 1, serifWidth));
    }
    // A bare file name ending like a font file is a path too, looked up in the media folder.
    Result<MediaFolder> media = MediaFolder::open(dir.path().string());
    ASSERT_TRUE(media);
    EXPECT_TRUE(font.load("copy.ttf", 24, false, false, 1, 11, *media));
    EXPECT_EQ(widthOf(u"Kavelin"), serifWidth);
    const Status outside = font.load(serif.file.c_str(), 24, false, false, 1, 11, *media);
    EXPECT_EQ(outside ? "loaded" : outside.reason(),
              serif.file + ": leads outside the media folder");
}

TEST(LineBreak, BreaksAtTheLastSpaceWithinTheFitAndConsumesOneUnit) {
    struct Case {
        std::u16string_view text;
        size_t fit, length, consumed;
    };
    for (const Case& c : {
             Case{u"one two three", 7, 7, 8},  // the unit right after the fit is a space
             Case{u"one two three", 9, 7, 8},  // 'one two t' still breaks after 'one two'
             Case{u"one two  three", 7, 7, 8}, // one of two spaces is consumed
             Case{u"three", 5, 5, 6},          // the end of the text is a break
             Case{u"overlong", 3, 3, 3},       // a word without a space is cut
             Case{u" x", 1, 1, 1},             // index 0 is never a break: no empty line
             Case{u"ab\rcd", 3, 2, 3},         // tab to carriage return break as spaces do
             Case{u"ab\u3000cd", 3, 2, 3},     // and so do Unicode space separators
             Case{u"ab\u00A0cd", 3, 3, 3},     // the no-break space does not
         }) {
        const LineBreak b = breakLine(c.text, c.fit);
        EXPECT_EQ(std::pair(b.length, b.consumed), std::pair(c.length, c.consumed)) << c.fit;
    }
}

// Where lines break is decided by breakLine (above); here, that the lines are drawn as broken.
TEST_F(TrueTypeTest, WrapsAtTheLastSpaceThatFitsOrCutsTheWord) {
    const int32_t w7 = widthOf(u"one two");
    ASSERT_GT(widthOf(u"one two t"), w7);
    Canvas c(w7, 80);
    ASSERT_TRUE(draw(c, 0, 0, u"one two three", true, 30));
    EXPECT_EQ(last(), std::tuple(w7, 30 + 24, 2));
    EXPECT_EQ(c.pixels, expected(w7, 80, {u"one two", u"three"}, 30));
    // No room: one code unit per line ('a', the space after it consumed, then 'b').
    for (int32_t x : {40, 41, INT32_MAX}) {
        Canvas none(40, 40);
        ASSERT_TRUE(draw(none, x, 0, u"a b", true, 10));
        EXPECT_EQ(last(), std::tuple(0, 10 + 24, 2));
        EXPECT_TRUE(none.blank());
    }
}

TEST_F(TrueTypeTest, LastSizeFollowsSpacingAndTheLastLineAndFailuresSayNothing) {
    Canvas c(400, 100);
    const int32_t w3 = widthOf(u"one");
    for (auto [spacing, height] : {std::pair{30, 54}, {0, 24}, {-10, 14}}) {
        ASSERT_TRUE(draw(c, 0, 0, u"one two", true, spacing, w3));
        EXPECT_EQ(last(), std::tuple(w3, height, 2));
    }
    ASSERT_TRUE(draw(c, 0, 90, u"one two one two", true, 50, w3)); // lines below still count
    EXPECT_EQ(font.lastTextLines(), 4);
    ASSERT_TRUE(draw(c, 10, 90, u"Kavelin", false, 0)); // the visible part of the last line
    EXPECT_EQ(last(), std::tuple(widthOf(u"Kavelin"), 10, 1));
    ASSERT_TRUE(draw(c, 0, 0, u"", true, 5));
    EXPECT_EQ(last(), std::tuple(0, 0, 1));
    // Failures that add nothing to the caller's own error line carry an empty reason.
    const Status failed = font.renderText(nullptr, 20, 20, 0, 0, u"x", kWhite, false, 0);
    EXPECT_TRUE(!failed && failed.reason().empty());
    // An unpaired surrogate is drawn as the replacement character.
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(widthOf(std::u16string_view(lone, 3)), widthOf(u"a\uFFFDb"));
}

TEST_F(TrueTypeTest, LineBitmapsCarryTheColourReadRightToLeftAndAreCutAt32768Pixels) {
    LineBitmap line, rtl, guessed;
    EXPECT_FALSE(TrueTypeFont().renderLine(u"x", kWhite, line));
    ASSERT_TRUE(font.renderLine(u"H", 0x80336699, line));
    EXPECT_EQ(std::pair(line.width, line.height), std::pair(widthOf(u"H"), 24));
    uint8_t maxAlpha = 0;
    for (int32_t i = 0; i < line.width * line.height; ++i) {
        const uint8_t* p = line.pixels.get() + i * 4;
        ASSERT_EQ(std::tuple(p[0], p[1], p[2]), std::tuple(0x33, 0x66, 0x99)); // from 16, 8, 0
        maxAlpha = std::max(maxAlpha, p[3]);
    }
    EXPECT_EQ(maxAlpha, 255); // the stems of H are solid

    ASSERT_TRUE(font.renderLine(u"ba", kWhite, line));
    ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 2, 11));
    ASSERT_TRUE(font.renderLine(u"ab", kWhite, rtl));
    EXPECT_EQ(pixelsOf(line), pixelsOf(rtl));
    // Any other direction takes it from the text: Arabic comes out as with direction 2.
    const std::u16string arabic = u"\u0645\u0631\u062D\u0628\u0627";
    ASSERT_TRUE(font.renderLine(arabic, kWhite, rtl));
    ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 0, 11));
    ASSERT_TRUE(font.renderLine(arabic, kWhite, guessed));
    EXPECT_EQ(pixelsOf(rtl), pixelsOf(guessed));

    ASSERT_TRUE(font.load("DejaVu Sans", 200, false, false, 1, 11));
    const std::u16string wide(300, u'W');
    ASSERT_GT(widthOf(wide), TrueTypeFont::kMaxLineWidth);
    ASSERT_TRUE(font.renderLine(wide, kWhite, line));
    EXPECT_EQ(std::pair(line.width, line.height), std::pair(TrueTypeFont::kMaxLineWidth, 200));
}

TEST(VerticalSmoothEffect, BlendsEachByteWithTheRowBelowAsItWas) {
    // A column 255, 0, 255, 255: each row but the last becomes (below + 3 * itself) / 4, read
    // before the row below changes.
    Pixels column(4 * 4, 255);
    std::fill_n(column.begin() + 4, 4, 0);
    VerticalSmoothEffect smooth;
    ASSERT_TRUE(smooth.apply(nullptr, 0, 0, 0, 0, column.data(), 1, 4));
    EXPECT_EQ(column,
              (Pixels{191, 191, 191, 191, 63, 63, 63, 63, 255, 255, 255, 255, 255, 255, 255, 255}));
    Pixels row{0, 0, 0, 0, 9, 8, 7, 200, 0, 0, 0, 0}; // one row is unchanged
    EXPECT_TRUE(smooth.apply(nullptr, 0, 0, 0, 0, row.data(), 3, 1));
    EXPECT_EQ(row, (Pixels{0, 0, 0, 0, 9, 8, 7, 200, 0, 0, 0, 0}));
    EXPECT_FALSE(smooth.apply(nullptr, 0, 0, 0, 0, nullptr, 3, 1));
}

// A face keeps FreeType after the last shutdown, but no new face opens then.
TEST(FontSystemLifetimeTest, NestedUsersAndFacesThatOutliveTheShutdown) {
    ASSERT_TRUE(initFontSystem());
    ASSERT_TRUE(initFontSystem());
    const FT_Library library = retainFontLibrary();
    ASSERT_NE(library, nullptr);
    shutdownFontSystem();
    EXPECT_EQ(fontLibrary(), library);
    shutdownFontSystem();
    EXPECT_TRUE(fontLibrary() == nullptr && fontConfig() == nullptr);
    EXPECT_EQ(retainFontLibrary(), nullptr);
    releaseFontLibrary();
    ASSERT_TRUE(initFontSystem());
    EXPECT_NE(fontLibrary(), nullptr);
    shutdownFontSystem();
}

// The cache starts over with the glyph that would take it past its budget, not before.
TEST(GlyphCacheTest, StartsOverWhenTheBudgetWouldBePassed) {
    GlyphCache cache;
    const size_t share = GlyphCache::kMaxBytes / 32 - GlyphCache::kEntryBytes;
    for (uint32_t id = 0; id < 32; ++id)
        cache.insert(id, GlyphBitmap{0, 0, 0, 0, std::vector<uint8_t>(share)});
    EXPECT_EQ(cache.size(), 32u);
    EXPECT_EQ(cache.insert(32, GlyphBitmap{1, 2, 3, 4, {}}).top, 2);
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache.find(0), nullptr);
    EXPECT_EQ(cache.find(32)->width, 3);
}

// Without room in the memory budget the glyph is handed out all the same, uncached.
TEST(GlyphCacheTest, WithoutRoomInTheBudgetAGlyphIsHandedOutUncached) {
    GlyphCache cache;
    cache.insert(1, GlyphBitmap{0, 0, 1, 1, {7}});
    const test::ScopedMemoryLimit full(MemoryBudget::process().used());
    const uint64_t used = MemoryBudget::process().used();
    const GlyphBitmap& glyph = cache.insert(2, GlyphBitmap{1, 2, 3, 1, {4, 5, 6}});
    EXPECT_EQ(glyph.coverage, (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_EQ(cache.size(), 0u); // started over, and even then there was no room
    EXPECT_LT(MemoryBudget::process().used(), used);
}

// Bold asked of a family that has a bold face of its own draws that face as it is (the golden
// scene pins its pixels); only a face without one is emboldened, and its advances grow with it.
TEST_F(FontSystemTest, ARealBoldFaceIsDrawnAsItIsAndOnlyOtherFacesAreEmboldened) {
    MatchedFace regular, bold, oblique;
    ASSERT_TRUE(matchFace("DejaVu Sans", false, false, 11, regular));
    ASSERT_TRUE(matchFace("DejaVu Sans", true, false, 11, bold));
    ASSERT_TRUE(matchFace("DejaVu Sans", false, true, 11, oblique));
    EXPECT_NE(bold.file.find("DejaVuSans-Bold."), std::string::npos) << bold.file;
    EXPECT_FALSE(bold.synthesiseBold);
    EXPECT_FALSE(oblique.synthesiseItalic); // the family has an oblique face too
    // "H" at an em of 40 pixels from a face named or given by its file, bold or not.
    const auto drawn = [](const std::string& face, bool asBold) {
        TrueTypeFont font;
        LineBitmap line;
        EXPECT_TRUE(font.load(face.c_str(), -40, asBold, false, 1, 11)) << face;
        EXPECT_TRUE(font.renderLine(u"H", kWhite, line)) << face;
        return std::pair(line.width, pixelsOf(line));
    };
    const auto boldFace = drawn(bold.file, false), plain = drawn(regular.file, false);
    EXPECT_EQ(drawn("DejaVu Sans", true), boldFace);
    EXPECT_EQ(drawn(bold.file, true), boldFace); // a bold file is not emboldened again
    const auto synthetic = drawn(regular.file, true);
    EXPECT_GT(synthetic.first, plain.first);
    EXPECT_TRUE(synthetic != plain && synthetic != boldFace);
}

} // namespace
} // namespace kavelin
