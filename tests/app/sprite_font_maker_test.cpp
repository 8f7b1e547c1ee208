#include "app/CommandLine.h"
#include "app/SpriteFontMaker.h"
#include "image/Image.h"
#include "support/TempDir.h"
#include "text/CharacterMap.h"
#include "text/SpriteFont.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <fstream>

using namespace kavelin;
using Effect = SpriteFontMakerOptions::Effect;
using Args = std::vector<std::string>;

namespace {

// Non-zero values of a plane cropped to their box; x and y place the box.
struct Ink {
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::vector<int> values;
};

Ink inkOf(const std::function<int(int32_t, int32_t)>& at, int32_t width, int32_t height) {
    int32_t x0 = width, y0 = height, x1 = -1, y1 = -1;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (at(x, y) != 0)
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y),
                y1 = std::max(y1, y);
    Ink ink{x0, y0, std::max(0, x1 - x0 + 1), std::max(0, y1 - y0 + 1), {}};
    for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = x0; x <= x1; ++x)
            ink.values.push_back(at(x, y));
    return ink;
}

} // namespace

TEST(SpriteFontMakerTest, OptionsAndTheirRefusals) {
    const CommandLine c = CommandLine::parse({"mkfont", "--size", "20", "t.tga"});
    EXPECT_EQ(c.makeFontArgs, (Args{"--size", "20", "t.tga"}));
    SpriteFontMakerOptions o;
    std::string error;
    ASSERT_TRUE(parseSpriteFontMakerArgs({"--face", "Liberation Serif", "--size", "20", "--colour",
                                          "FF8001", "--effect", "outline", "t.tga"},
                                         o, error));
    EXPECT_TRUE(o.face == "Liberation Serif" && o.pixelSize == 20 && o.output == "t.tga");
    EXPECT_TRUE(o.red == 255 && o.green == 128 && o.blue == 1 && o.effect == Effect::Outline);
    for (const Args& bad : {Args{}, Args{"a.tga", "b.tga"}, Args{"--size", "3", "a.tga"},
                            Args{"--size", "257", "a.tga"}, Args{"--colour", "FF80001", "a.tga"},
                            Args{"--effect", "glow", "a.tga"}, Args{"a.tga", "--face"}}) {
        SpriteFontMakerOptions fresh;
        EXPECT_FALSE(parseSpriteFontMakerArgs(bad, fresh, error)) << bad.size();
        EXPECT_FALSE(error.empty());
    }
}

// Every cell holds its glyph exactly as FreeType draws it, uncut, on one baseline, with room
// for the effect on both sides; the default spacing takes that room back so that the pen moves
// by the face's advance.
TEST(SpriteFontMakerTest, CellsHoldTheFacesGlyphsAndTheirEffects) {
    test::TempDir dir;
    for (const Effect effect : {Effect::None, Effect::Outline, Effect::Shadow}) {
        SpriteFontMakerOptions o;
        o.pixelSize = 16;
        o.effect = effect;
        o.red = 250, o.green = 128, o.blue = 3;
        o.output = dir.file("dv.tga");
        std::string report, error;
        ASSERT_TRUE(makeSpriteFont(o, report, error)) << error;
        SpriteFont font;
        ASSERT_TRUE(font.load(o.output.c_str(), 255));
        Result<SpriteFont::EffectSheet> effectSheet = font.loadEffect(255);
        ASSERT_TRUE(effectSheet);
        ASSERT_EQ(*effectSheet == SpriteFont::EffectSheet::Loaded, effect != Effect::None);
        ASSERT_EQ(font.glyphCount(), kGlyphSlots);
        const Image &sheet = font.glyphSheet(), &shadow = font.effectSheet();
        const std::string file =
            report.substr(report.find(" (") + 2, report.find("), ") - report.find(" (") - 2);
        std::ifstream spacing(dir.file("dv.txt"));
        const auto pairs = std::count(std::istreambuf_iterator<char>(spacing), {}, '\n') - 1;
        EXPECT_EQ(
            report,
            o.output + ": DejaVu Sans (" + file + "), 16 px, 99 glyphs in a " +
                std::to_string(sheet.width()) + " x " + std::to_string(sheet.height()) +
                " sheet, " + std::to_string(pairs) + " kerning pairs" +
                (effect == Effect::None ? "" : ", effect sheet " + dir.file("dv_EFFECT.tga")));
        EXPECT_LT(font.spacing(glyphIndexOf('A'), glyphIndexOf('V')), 0);

        FT_Library library;
        FT_Face face;
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
        ASSERT_EQ(FT_New_Face(library, file.c_str(), 0, &face), 0);
        ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 16), 0);
        const int32_t side = -font.defaultSpacing() / 2;
        EXPECT_TRUE(side > 0 && font.defaultSpacing() == -2 * side);
        int32_t x = 0, baseline = -1;
        for (int32_t i = 0; i < kGlyphSlots; ++i) {
            const uint8_t byte = byteOfGlyph(i);
            ASSERT_EQ(FT_Load_Char(face, byte == 0x80 ? 0x20AC : byte, FT_LOAD_RENDER), 0);
            const FT_GlyphSlot g = face->glyph;
            const Ink want = inkOf(
                [&](int32_t px, int32_t py) { return g->bitmap.buffer[py * g->bitmap.pitch + px]; },
                int32_t(g->bitmap.width), int32_t(g->bitmap.rows));
            const GlyphCell cell = font.cell(i);
            const int32_t advance = int32_t((g->advance.x + 32) >> 6);
            EXPECT_EQ(std::tuple(cell.x, cell.width, cell.height),
                      std::tuple(x, std::max(2, advance + 2 * side), sheet.height() - 2));
            x += cell.width;
            const auto alpha = [&](const Image& image) {
                return [&image, cell](int32_t px, int32_t py) {
                    if (px < 0 || py < 0 || px >= cell.width || py >= cell.height)
                        return 0;
                    return int(image.pixelAt(cell.x + px, cell.y + py).alpha);
                };
            };
            const Ink got = inkOf(alpha(sheet), cell.width, cell.height);
            EXPECT_EQ(got.values, want.values) << i;
            EXPECT_EQ(got.width, want.width) << i;
            if (want.values.empty())
                continue;
            EXPECT_EQ(got.x, side + g->bitmap_left + want.x) << i;
            if (baseline < 0)
                baseline = got.y + g->bitmap_top - want.y;
            EXPECT_EQ(got.y + g->bitmap_top - want.y, baseline) << i;
            // The glyph's colour wherever it has ink; an outline covers the glyph.
            const auto glyph = alpha(sheet), drawn = alpha(shadow);
            for (int32_t py = 0; py < cell.height; ++py)
                for (int32_t px = 0; px < cell.width; ++px) {
                    const PixelColour ink = sheet.pixelAt(cell.x + px, cell.y + py);
                    ASSERT_TRUE(glyph(px, py) == 0 || (ink.red == 250 && ink.blue == 3));
                    ASSERT_TRUE(effect != Effect::Outline || drawn(px, py) >= glyph(px, py)) << i;
                }
        }
        EXPECT_EQ(x, sheet.width());
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
}

TEST(SpriteFontMakerTest, FailuresSayWhy) {
    test::TempDir dir;
    SpriteFontMakerOptions o;
    std::string report, error;
    o.output = dir.file(std::string(300, 'x') + ".tga");
    EXPECT_FALSE(makeSpriteFont(o, report, error));
    EXPECT_EQ(error, "the output name and the names made from it must fit 259 bytes");
    o.output = dir.file("no/such/dir.tga");
    EXPECT_FALSE(makeSpriteFont(o, report, error));
    EXPECT_EQ(error, "cannot write " + o.output + " or the files beside it");
    o.face = ":weight=nonsense";
    EXPECT_FALSE(makeSpriteFont(o, report, error));
    EXPECT_EQ(error, "no installed face matches \":weight=nonsense\"");
}
