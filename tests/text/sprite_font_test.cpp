#include "text/CharacterMap.h"
#include "text/DerivedName.h"
#include "text/SpriteFont.h"

#include "support/TempDir.h"
#include "text/FontFixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace kavelin::test {
namespace {

using Size = std::pair<int32_t, int32_t>;

TEST(SpriteFontText, CaseConversionCharacterMapAndCompanionNames) {
    char text[] = "abc\xE5\xE4\xF6z"; // Windows-1252; å and Å have no case partner
    convertCase(text, 1);
    EXPECT_STREQ(text, "ABC\xE5\xC4\xD6Z");
    convertCase(text, 2);
    EXPECT_STREQ(text, "abc\xE5\xE4\xF6z");
    for (int32_t i = 0; i < kGlyphSlots; ++i)
        EXPECT_EQ(glyphIndexOf(byteOfGlyph(i)), i);
    EXPECT_EQ(byteOfGlyph(kGlyphSlots), 0);
    EXPECT_EQ(byteOfGlyph(-1), 0);

    char out[kFontPathSize];
    for (auto [path, want] : {std::pair{"fonts/a.tga", "fonts/a_EFFECT.tga"},
                              {"a.tga", "a_EFFECT.tga"},
                              {"my.fonts/title", "my_EFFECT.tga"},
                              {".title", ".title_EFFECT.tga"}}) {
        ASSERT_TRUE(deriveFileName(path, "_EFFECT.tga", out, sizeof out)) << path;
        EXPECT_STREQ(out, want);
    }
    const std::string longest(kFontPathSize - 1 - 4, 'x');
    EXPECT_TRUE(deriveFileName(longest.c_str(), ".txt", out, sizeof out));
    EXPECT_FALSE(deriveFileName((longest + "x").c_str(), ".txt", out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(SpriteFontSpacing, DefaultAndPairLinesAndWhatIsIgnored) {
    SpriteFont font;
    // The key names the pair by its second and fourth bytes; a later line wins.
    for (const char* line : {"default\t3\n", "'A'V\t-2\n", "xAxB\t  +5", "default 9", "AV\t3",
                             "\t4", "default\tx", "A\t-", ""})
        font.applySpacingLine(line);
    EXPECT_EQ(std::tuple(font.defaultSpacing(), font.spacing(10, 31), font.spacing(10, 11)),
              std::tuple(3, -2, 5));
    font.applySpacingLine(std::string(64, 'A').append("\t7").c_str()); // key too long
    EXPECT_EQ(font.spacing(10, 10), 0);
    font.applySpacingLine(std::string(63, 'A').append("\t7").c_str());
    EXPECT_EQ(font.spacing(10, 10), 7);
    font.applySpacingLine("default\t99999999999999999999"); // clamped
    EXPECT_EQ(font.defaultSpacing(), INT32_MAX);
}

class SpriteFontTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.file(name); }
    // A sheet of `count` cells, each `width` wide and `height` high, whose glyph pixels all
    // have `alpha`; and a spacing file beside it when one is given.
    void writeSheet(const std::string& name, int32_t count, int32_t width, int32_t height,
                    uint8_t alpha = 255, const std::string& spacing = "") {
        Image sheet;
        buildSheet(sheet, std::vector<int32_t>(size_t(count), width), height);
        for (int32_t i = 0; i < sheet.width() * sheet.height(); ++i)
            if (i >= 2 * sheet.width() && sheet.pixels()[i * 4 + 3] != 0)
                sheet.pixels()[i * 4 + 3] = alpha;
        ASSERT_TRUE(writeTga(path(name).c_str(), sheet));
        if (!spacing.empty())
            std::ofstream(path(name.substr(0, name.size() - 4) + ".txt")) << spacing;
    }
    // A font of 99 glyphs read from a file, so the loader's cells are used.
    void loadFont(int32_t width, int32_t height, const std::string& spacing = "",
                  int32_t glyphs = kGlyphSlots) {
        writeSheet("f.tga", glyphs, width, height, 255, spacing);
        ASSERT_TRUE(font_.load(path("f.tga").c_str(), 255));
    }
    void target(int32_t w, int32_t h) { ASSERT_TRUE(image_.allocate(w, h)); }
    // What loadEffect gave: "loaded", "missing" or the failure's reason.
    std::string loadEffect(int32_t opacity) {
        Result<SpriteFont::EffectSheet> sheet = font_.loadEffect(opacity);
        return !sheet                                      ? sheet.reason()
               : *sheet == SpriteFont::EffectSheet::Loaded ? "loaded"
                                                           : "missing";
    }
    Size lastSize() const {
        Size size;
        font_.lastTextSize(size.first, size.second);
        return size;
    }
    // Row y as runs of "glyph x count", '-' for transparent: "10x9 31x10 -x21".
    std::string runs(int32_t y) const {
        std::ostringstream out;
        for (int32_t x = 0, start = 0; x <= image_.width(); ++x) {
            if (x < image_.width() && glyphAt(image_, x, y) == glyphAt(image_, start, y))
                continue;
            const int32_t g = glyphAt(image_, start, y);
            out << (start > 0 ? " " : "") << (g < 0 ? "-" : std::to_string(g)) << 'x' << x - start;
            start = x;
        }
        return out.str();
    }
    // The characters of the line whose top is y, read one cell pitch apart ('~' for none).
    std::string readLine(int32_t y, int32_t pitch, int32_t count) const {
        std::string out;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t g = glyphAt(image_, i * pitch, y);
            out += g < 0 ? '~' : char(byteOfGlyph(g));
        }
        return out;
    }
    TempDir dir_{"kavelin-sprite"};
    SpriteFont font_;
    Image image_;
};

TEST_F(SpriteFontTest, LoadReadsSheetAndSpacingAndScalesOpacity) {
    writeSheet("a.tga", 99, 4, 3, 100, "default\t3\n" + std::string(600, 'z') + "\nxAxB\t4");
    ASSERT_TRUE(font_.load(path("a.tga").c_str(), 128));
    EXPECT_STREQ(font_.path(), path("a.tga").c_str());
    EXPECT_EQ(std::pair(font_.glyphCount(), font_.defaultSpacing()), std::pair(99, 3));
    EXPECT_EQ(font_.spacing(10, 11), 4);                    // after an overlong line
    EXPECT_EQ(font_.glyphSheet().pixelAt(0, 2).alpha, 50);  // 100 * 128 / 255
    EXPECT_EQ(font_.glyphSheet().pixelAt(0, 0).alpha, 128); // markers are scaled as well
    writeSheet("b.tga", 2, 4, 3);
    ASSERT_TRUE(font_.load(path("b.tga").c_str(), 128));
    // The table is cleared without a spacing file; the default keeps its value.
    EXPECT_EQ(std::tuple(int(font_.glyphSheet().pixelAt(0, 2).alpha), font_.spacing(10, 11),
                         font_.defaultSpacing()),
              std::tuple(128, 0, 3));
    ASSERT_TRUE(font_.load(path("b.tga").c_str(), -4)); // opacity is clamped to 0..255
    EXPECT_EQ(font_.glyphSheet().pixelAt(0, 2).alpha, 0);
}

// A load reads every file before it changes anything: a failed one leaves the font drawing as
// before. A sheet without room for glyphs loads (and draws nothing).
TEST_F(SpriteFontTest, FailedLoadsLeaveTheFontAsItWas) {
    writeSheet("good.tga", 3, 4, 3, 255, "default\t2\n");
    // A TGA header of any image type, depth and descriptor, then `bytes` bytes of 0x7F.
    const auto tga = [](int type, int width, int height, int depth, size_t bytes) {
        auto header = tgaHeader(uint16_t(width), uint16_t(height), uint8_t(depth), true);
        header[2] = uint8_t(type);
        return std::string(header.begin(), header.end()) + std::string(bytes, '\x7F');
    };
    const std::string dir = dir_.path().string();
    // A path that fits, but whose effect sheet's name would not.
    const std::string fits = std::string(kFontPathSize - 1 - dir.size() - 1 - 4, 'n') + ".tga";
    writeSheet(fits, 3, 4, 3);
    // Sheets whose spacing files cannot be read: a FIFO (other files that are not regular ones
    // are refused alike) and a huge file.
    for (const char* name : {"fifo", "huge"})
        writeSheet(std::string(name) + ".tga", 3, 4, 3);
    ASSERT_EQ(::mkfifo(path("fifo.txt").c_str(), 0600), 0);
    std::filesystem::resize_file((std::ofstream(path("huge.txt")), path("huge.txt")),
                                 SpriteFont::kMaxSpacingFileBytes + 1);

    const std::string tooLong = std::string(kFontPathSize, 'n') + ".tga";
    const std::string longer = ": file name longer than 259 bytes";
    struct Case {
        std::string name, bytes, reason; // no reason: it loads
    };
    for (const Case& c : std::initializer_list<Case>{
             {"truncated.tga", tga(2, 8, 8, 32, 100),
              "truncated.tga: header claims more than the file holds"},
             {"fifo.tga", "", "fifo.txt: is a FIFO"},
             {"huge.tga", "", "huge.txt: is longer than 1048576 bytes"},
             {fits, "", fits + ": the names of the files beside it would be longer than 259 bytes"},
             {tooLong, "", tooLong + longer},
             {"onerow.tga", tga(2, 4, 1, 24, 12), ""},  // no room for markers and glyphs
             {"depth16.tga", tga(2, 4, 4, 16, 32), ""}, // read as transparent
         }) {
        if (!c.bytes.empty())
            std::ofstream(path(c.name), std::ios::binary) << c.bytes;
        ASSERT_TRUE(font_.load(path("good.tga").c_str(), 255));
        const Status loaded = font_.load(path(c.name).c_str(), 255);
        EXPECT_EQ(loaded ? "" : loaded.reason(), c.reason.empty() ? "" : dir + "/" + c.reason)
            << c.name;
        target(20, 20);
        EXPECT_TRUE(font_.drawLine("012", &image_, 0, 0)) << c.name;
        if (c.reason.empty()) {
            EXPECT_EQ(font_.glyphCount(), 0) << c.name;
            continue;
        }
        EXPECT_EQ(std::tuple(font_.glyphCount(), font_.defaultSpacing(), std::string(font_.path())),
                  std::tuple(3, 2, path("good.tga")))
            << c.name;
        EXPECT_EQ(glyphAt(image_, 0, 0), 0) << c.name;
    }
    EXPECT_FALSE(font_.load(nullptr, 255));
}

TEST_F(SpriteFontTest, PairSpacingAndClipping) {
    loadFont(10, 4, "'A'V\t-2\n");
    target(40, 5);
    EXPECT_EQ(font_.measureRun("AV", 0, 2), 19);
    EXPECT_EQ(font_.measureRun("AVA", 0, 1), 10); // a run ends where it is told to
    ASSERT_TRUE(font_.drawLine("AV", &image_, 0, 0));
    EXPECT_EQ(runs(3), "10x9 31x10 -x21"); // V starts on A's last column
    EXPECT_EQ(runs(4), "-x40");
    EXPECT_EQ(lastSize(), Size(19, 4));
    target(40, 5);
    ASSERT_TRUE(font_.drawLine("AV", &image_, -5, 0));
    EXPECT_EQ(runs(0), "10x4 31x10 -x26");
    EXPECT_EQ(lastSize().first, 14);

    target(25, 4); // the top row cut off, C cut at the right
    ASSERT_TRUE(font_.drawLine("ABC", &image_, 0, -1));
    EXPECT_EQ(runs(0), "10x10 -x1 11x10 -x1 12x3");
    EXPECT_EQ(runs(3), "-x25");
    // A and B whole with their spacing, C its visible 3 columns; the visible 3 rows.
    EXPECT_EQ(lastSize(), Size(25, 3));
    for (auto [x, y] : {std::pair{25, 0}, {0, 4}, {INT32_MIN, 0}, {INT32_MAX, INT32_MIN}}) {
        ASSERT_TRUE(font_.drawLine("ABC", &image_, x, y));
        EXPECT_EQ(lastSize(), Size(0, 0)) << x << "," << y;
    }
    EXPECT_FALSE(font_.drawLine("A", nullptr, 0, 0));
    image_ = Image();
    EXPECT_FALSE(font_.drawLine("A", &image_, 0, 0));
}

TEST_F(SpriteFontTest, GlyphsMissingFromTheSheetTakeNoRoom) {
    loadFont(10, 4, "", 12); // digits, A and B only
    target(30, 4);
    ASSERT_TRUE(font_.drawLine("AzB", &image_, 0, 0));
    // 'z' follows A, so A keeps its spacing; z itself takes none.
    EXPECT_EQ(runs(0), "10x10 -x1 11x10 -x9");
    EXPECT_EQ(lastSize().first, 21);
    EXPECT_EQ(font_.measureRun("zzz", 0, 3), 0);
    EXPECT_EQ(font_.measureRun("\xFC", 0, 1), 0); // 'ü' is the space glyph, not on this sheet
}

TEST_F(SpriteFontTest, WrappingBreaksAtSpacesAndCutsLongWords) {
    loadFont(10, 4); // advance 11, width of n characters 11n - 1
    target(100, 40);
    ASSERT_TRUE(font_.drawWrapped("one two three", &image_, 0, 0, 10));
    EXPECT_EQ(readLine(0, 11, 9) + readLine(10, 11, 6), "one two~~three~");
    EXPECT_EQ(lastSize(), Size(76, 20));
    ASSERT_TRUE(font_.drawWrapped("one two three", &image_, 0, 0, 3)); // closer than a glyph
    EXPECT_EQ(lastSize(), Size(76, 3 + 4));
    // Two spaces: one ends the line, the other stays on it (this sheet's space is visible).
    target(100, 40);
    ASSERT_TRUE(font_.drawWrapped("one two  three", &image_, 0, 0, 10));
    EXPECT_EQ(readLine(0, 11, 9) + readLine(10, 11, 6), "one two ~three~");
    EXPECT_EQ(lastSize(), Size(87, 20));

    target(50, 40);
    ASSERT_TRUE(font_.drawWrapped("abcdefg", &image_, 0, 0, 10));
    EXPECT_EQ(readLine(0, 11, 5) + readLine(10, 11, 4), "abcd~efg~"); // 4 are 43 wide, 5 are 54
    target(1, 40); // not even one glyph fits: one per line, so the text always advances
    ASSERT_TRUE(font_.drawWrapped("ab", &image_, 0, 0, 10));
    EXPECT_EQ(readLine(0, 0, 1) + readLine(10, 0, 1), "ab");
    EXPECT_EQ(lastSize(), Size(1, 20));
}

TEST_F(SpriteFontTest, EffectSheetLoadsBesideTheSheetAndDrawsUnderneathAsFarAsItReaches) {
    EXPECT_EQ(loadEffect(255), "missing");
    EXPECT_FALSE(font_.colorizeEffect(1, 2, 3));
    writeSheet("e.tga", kGlyphSlots, 4, 4);
    ASSERT_TRUE(font_.load(path("e.tga").c_str(), 255));
    EXPECT_EQ(loadEffect(255), "missing");
    ASSERT_EQ(::mkfifo(path("e_EFFECT.tga").c_str(), 0600), 0); // there, and not a picture
    EXPECT_EQ(loadEffect(255), path("e_EFFECT.tga") + ": is a FIFO");
    std::filesystem::remove(path("e_EFFECT.tga"));
    // An effect sheet that holds only the first 12 cells and 3 of the 4 glyph rows.
    Image effect;
    ASSERT_TRUE(effect.allocate(12 * 5, 5));
    for (int32_t y = 2; y < 5; ++y)
        for (int32_t x = 0; x < 60; ++x)
            putPixel(effect, x, y, 0, 0, 250, 200);
    ASSERT_TRUE(writeTga(path("e_EFFECT.tga").c_str(), effect));
    ASSERT_EQ(loadEffect(51), "loaded");
    EXPECT_EQ(font_.effectSheet().pixelAt(0, 2).alpha, 40);
    EXPECT_TRUE(font_.colorizeEffect(0x101, 2, 3));
    const PixelColour c = font_.effectSheet().pixelAt(1, 3);
    EXPECT_EQ(std::tuple(c.red, c.green, c.blue, c.alpha), std::tuple(1, 2, 3, 40));
    ASSERT_TRUE(font_.load(path("e.tga").c_str(), 255)); // a new load drops the effect
    EXPECT_FALSE(font_.effectLoaded());

    ASSERT_EQ(loadEffect(255), "loaded");
    target(12, 5);
    ASSERT_TRUE(font_.drawLine("AZ", &image_, 0, 0));
    EXPECT_EQ(runs(0), "10x4 -x1 35x4 -x3"); // the glyphs cover their effect
    // With invisible glyphs the effect shows, as far as its sheet reaches: not Z's cell, not
    // the fourth row.
    ASSERT_TRUE(font_.load(path("e.tga").c_str(), 0));
    ASSERT_EQ(loadEffect(255), "loaded");
    target(12, 5);
    ASSERT_TRUE(font_.drawLine("AZ", &image_, 0, 0));
    EXPECT_EQ(runs(2), "250x4 -x8");
    EXPECT_EQ(runs(3), "-x12");
    EXPECT_EQ(lastSize(), Size(9, 4)); // the glyph run's size
}

} // namespace
} // namespace kavelin::test
