#include "text/CharacterMap.h"
#include "text/DerivedName.h"
#include "text/SpriteFont.h"

#include "text/FontFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace kavelin::test {
namespace {

TEST(SpriteFontCells, MarkerPairsGiveCellsAndUnclosedStartsDoNotCount) {
    SpriteFont font;
    Image& sheet = font.glyphSheet();
    ASSERT_TRUE(sheet.allocate(14, 9));
    putPixel(sheet, 0, 0, 0, 255, 0, 0); // alpha of a marker is not looked at
    putPixel(sheet, 4, 0, 255, 0, 0, 255);
    putPixel(sheet, 6, 0, 0, 255, 0, 255);
    putPixel(sheet, 9, 0, 255, 0, 0, 255);
    putPixel(sheet, 11, 0, 0, 255, 0, 255); // start without end
    putPixel(sheet, 12, 0, 0, 254, 0, 255); // not quite green
    font.findCells();
    ASSERT_EQ(font.glyphCount(), 2);
    EXPECT_EQ(font.cell(0).x, 0);
    EXPECT_EQ(font.cell(0).y, 2);
    EXPECT_EQ(font.cell(0).width, 5);
    EXPECT_EQ(font.cell(0).height, 7);
    EXPECT_EQ(font.cell(1).x, 6);
    EXPECT_EQ(font.cell(1).width, 4);
    EXPECT_EQ(font.cell(1).height, 7);
}

TEST(SpriteFontCells, OnlyTheFirst256PairsAreKept) {
    SpriteFont font;
    Image& sheet = font.glyphSheet();
    ASSERT_TRUE(sheet.allocate(600, 3));
    for (int32_t x = 0; x + 1 < 600; x += 2) {
        putPixel(sheet, x, 0, 0, 255, 0, 255);
        putPixel(sheet, x + 1, 0, 255, 0, 0, 255);
    }
    font.findCells();
    EXPECT_EQ(font.glyphCount(), 256);
    EXPECT_EQ(font.cell(255).x, 510);
}

TEST(SpriteFontCharacterMap, FixedTableAndCaseConversion) {
    for (int32_t i = 0; i < kGlyphSlots; ++i)
        EXPECT_EQ(glyphIndexOf(byteOfGlyph(i)), i);
    EXPECT_EQ(glyphIndexOf('V'), 31);
    EXPECT_EQ(glyphIndexOf(0xF6), 67);
    EXPECT_EQ(glyphIndexOf(0x80), 98);
    for (int b : {0xFC, int('~'), int('\t'), 0x00, 0xFF})
        EXPECT_EQ(glyphIndexOf(uint8_t(b)), kSpaceGlyph) << b;

    char upper[] = "abc\xE5\xE4\xF6z";
    convertCase(upper, 1);
    EXPECT_STREQ(upper, "ABC\xE5\xC4\xD6Z");
    convertCase(upper, 2);
    EXPECT_STREQ(upper, "abc\xE5\xE4\xF6z");
    char same[] = "aB\xC4";
    convertCase(same, 3);
    EXPECT_STREQ(same, "aB\xC4");
}

TEST(SpriteFontNames, CompanionNamesReplaceTheLastDot) {
    char out[kFontPathSize];
    ASSERT_TRUE(deriveFileName("fonts/title.tga", ".txt", out, sizeof out));
    EXPECT_STREQ(out, "fonts/title.txt");
    ASSERT_TRUE(deriveFileName("fonts/title.tga", "_EFFECT.tga", out, sizeof out));
    EXPECT_STREQ(out, "fonts/title_EFFECT.tga");
    ASSERT_TRUE(deriveFileName("my.fonts/title", ".txt", out, sizeof out));
    EXPECT_STREQ(out, "my.txt");
    ASSERT_TRUE(deriveFileName(".title", ".txt", out, sizeof out));
    EXPECT_STREQ(out, ".title.txt");
    const std::string longest(kFontPathSize - 1 - 4, 'x');
    EXPECT_TRUE(deriveFileName(longest.c_str(), ".txt", out, sizeof out));
    EXPECT_FALSE(deriveFileName((longest + "x").c_str(), ".txt", out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(SpriteFontSpacing, DefaultAndPairLinesAndWhatIsIgnored) {
    SpriteFont font;
    font.applySpacingLine("default\t3\n");
    font.applySpacingLine("'A'V\t-2\n");
    EXPECT_EQ(font.defaultSpacing(), 3);
    EXPECT_EQ(font.spacing(10, 31), -2);
    font.applySpacingLine("xAxV\t  +5"); // later line wins, no line feed needed
    EXPECT_EQ(font.spacing(10, 31), 5);
    font.applySpacingLine(std::string(64, 'A').append("\t7").c_str()); // key too long
    EXPECT_EQ(font.spacing(10, 10), 0);
    font.applySpacingLine(std::string(63, 'A').append("\t7").c_str());
    EXPECT_EQ(font.spacing(10, 10), 7);
    for (const char* junk : {"", "\n", "\t4", "default 9", "default\tx", "AV\t3", "A\t-",
                             "default\t99999999999999999999"})
        font.applySpacingLine(junk);
    EXPECT_EQ(font.defaultSpacing(), 2147483647); // the out-of-range number is clamped
    EXPECT_EQ(font.spacing(31, glyphIndexOf(0)), 0);
}

class SpriteFontFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string path(const char* name) const { return dir_ + "/" + name; }
    // A sheet of `count` cells 4 wide and 3 high whose pixels all have `alpha`.
    void writeSheet(const char* name, int32_t count, uint8_t alpha = 255) {
        Image sheet;
        buildSheet(sheet, std::vector<int32_t>(size_t(count), 4), 3);
        for (int32_t y = 2; y < sheet.height(); ++y)
            for (int32_t x = 0; x < sheet.width(); ++x)
                if (sheet.pixelAt(x, y).alpha != 0)
                    sheet.pixels()[(size_t(y) * size_t(sheet.width()) + size_t(x)) * 4 + 3] = alpha;
        ASSERT_TRUE(writeTga(path(name).c_str(), sheet));
    }
    std::string dir_;
};

TEST_F(SpriteFontFiles, LoadReadsSheetAndSpacingAndScalesOpacity) {
    writeSheet("a.tga", 99, 100);
    writeFile(path("a.txt"), "default\t3\n'A'V\t-2\ngarbage\n" + std::string(600, 'z') +
                                 "\nxAxB\t4"); // overlong line, no final line feed
    SpriteFont font;
    ASSERT_TRUE(font.load(path("a.tga").c_str(), 128));
    EXPECT_STREQ(font.path(), path("a.tga").c_str());
    EXPECT_EQ(font.glyphCount(), 99);
    EXPECT_EQ(font.defaultSpacing(), 3);
    EXPECT_EQ(font.spacing(10, 31), -2);
    EXPECT_EQ(font.spacing(10, 11), 4);
    EXPECT_EQ(font.fontOpacity(), 128);
    EXPECT_EQ(font.glyphSheet().pixelAt(0, 2).alpha, 50);  // 100 * 128 / 255
    EXPECT_EQ(font.glyphSheet().pixelAt(0, 0).alpha, 128); // markers are scaled as well
    writeSheet("b.tga", 2);
    ASSERT_TRUE(font.load(path("b.tga").c_str(), 128));
    EXPECT_EQ(font.glyphSheet().pixelAt(0, 2).alpha, 128); // 255 * 128 / 255
    EXPECT_EQ(font.spacing(10, 31), 0);                    // table cleared, no spacing file
    EXPECT_EQ(font.defaultSpacing(), 3);                   // default keeps its value
    ASSERT_TRUE(font.load(path("b.tga").c_str(), 300));
    EXPECT_EQ(font.fontOpacity(), 255);
    ASSERT_TRUE(font.load(path("b.tga").c_str(), -4));
    EXPECT_EQ(font.fontOpacity(), 0);
}

TEST_F(SpriteFontFiles, EffectSheetLoadsOnlyBesideTheLastGoodPath) {
    writeSheet("f.tga", 3);
    SpriteFont font;
    EXPECT_FALSE(font.loadEffect(255));
    EXPECT_FALSE(font.colorizeEffect(1, 2, 3));
    ASSERT_TRUE(font.load(path("f.tga").c_str(), 255));
    EXPECT_FALSE(font.loadEffect(255));
    writeSheet("f_EFFECT.tga", 3, 200);
    ASSERT_TRUE(font.loadEffect(51));
    EXPECT_TRUE(font.effectLoaded());
    EXPECT_EQ(font.effectSheet().pixelAt(0, 2).alpha, 40);
    EXPECT_TRUE(font.colorizeEffect(0x101, 2, 3));
    const PixelColour c = font.effectSheet().pixelAt(1, 3);
    EXPECT_EQ(c.red, 1);
    EXPECT_EQ(c.green, 2);
    EXPECT_EQ(c.blue, 3);
    EXPECT_EQ(c.alpha, 40);
    ASSERT_TRUE(font.load(path("f.tga").c_str(), 255)); // a new load drops the effect
    EXPECT_FALSE(font.effectLoaded());
}

TEST_F(SpriteFontFiles, BrokenSheetsFailOrLoadWithoutGlyphs) {
    writeSheet("good.tga", 3);
    struct Case {
        const char* name;
        std::string bytes;
        bool loads;
        int32_t glyphs;
    };
    const Case cases[] = {
        {"missing.tga", "", false, 0},
        {"short.tga", std::string(10, '\0'), false, 0},
        {"rle.tga", rawTga(10, 4, 4, 32, 0x20, 64), false, 0},
        {"truncated.tga", rawTga(2, 8, 8, 32, 0x20, 100), false, 0},
        {"huge.tga", rawTga(2, 65535, 65535, 32, 0x20, 16), false, 0},
        {"onerow.tga", rawTga(2, 4, 1, 24, 0x20, 12), true, 0},
        {"depth16.tga", rawTga(2, 4, 4, 16, 0x20, 32), true, 0},
    };
    for (const Case& c : cases) {
        if (!c.bytes.empty())
            writeFile(path(c.name), c.bytes);
        SpriteFont font;
        ASSERT_TRUE(font.load(path("good.tga").c_str(), 255));
        EXPECT_EQ(font.load(path(c.name).c_str(), 255), c.loads) << c.name;
        EXPECT_EQ(font.glyphCount(), c.glyphs) << c.name;
        Image target;
        ASSERT_TRUE(target.allocate(20, 20));
        EXPECT_TRUE(font.drawLine("012", &target, 0, 0)) << c.name;
        EXPECT_EQ(glyphAt(target, 0, 0), -1) << c.name;
    }
}

TEST_F(SpriteFontFiles, OverlongPathsAndDerivedNamesFail) {
    SpriteFont font;
    std::string name = dir_ + "/" + std::string(kFontPathSize, 'n') + ".tga";
    EXPECT_FALSE(font.load(name.c_str(), 255));
    // The path fits, but its effect name does not.
    name = std::string(kFontPathSize - 1 - dir_.size() - 1, 'n');
    name = dir_ + "/" + name.substr(0, name.size() - 4) + ".tga";
    ASSERT_EQ(name.size(), kFontPathSize - 1);
    EXPECT_FALSE(font.load(name.c_str(), 255));
    EXPECT_FALSE(font.load(nullptr, 255));
}

} // namespace
} // namespace kavelin::test
