#include "app/CommandLine.h"
#include "app/SpriteFontMaker.h"
#include "image/Image.h"
#include "text/CharacterMap.h"
#include "text/SpriteFont.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace kavelin;

namespace {

using Effect = SpriteFontMakerOptions::Effect;

TEST(SpriteFontMakerArgs, OptionsAndTheirRefusals) {
    const CommandLine c = CommandLine::parse({"mkfont", "--size", "20", "t.tga"});
    EXPECT_EQ(c.mode, CommandLine::Mode::MakeFont);
    EXPECT_EQ(c.makeFontArgs, (std::vector<std::string>{"--size", "20", "t.tga"}));

    SpriteFontMakerOptions o;
    std::string error;
    ASSERT_TRUE(parseSpriteFontMakerArgs({"--face", "Liberation Serif", "--size", "20", "--colour",
                                          "FF8000", "--effect", "outline", "t.tga"},
                                         o, error));
    EXPECT_EQ(o.face, "Liberation Serif");
    EXPECT_EQ(o.pixelSize, 20);
    EXPECT_EQ(o.red, 255);
    EXPECT_EQ(o.green, 128);
    EXPECT_EQ(o.blue, 0);
    EXPECT_EQ(o.effect, Effect::Outline);
    EXPECT_EQ(o.output, "t.tga");
    for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                                {"a.tga", "b.tga"},
                                                {"--size", "3", "a.tga"},
                                                {"--colour", "GG8000", "a.tga"},
                                                {"--effect", "glow", "a.tga"},
                                                {"a.tga", "--face"}}) {
        SpriteFontMakerOptions fresh;
        EXPECT_FALSE(parseSpriteFontMakerArgs(bad, fresh, error)) << bad.size();
        EXPECT_FALSE(error.empty());
    }
}

// The maker's files load as a sprite font with all 99 glyphs, its kerning and its effect.
TEST(SpriteFontMaker, MadeSetLoadsAndDraws) {
    const std::string dir = ::testing::TempDir() + "kavelin_mkfont";
    ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    SpriteFontMakerOptions o;
    o.face = "DejaVu Sans";
    o.pixelSize = 16;
    o.effect = Effect::Shadow;
    o.red = 250;
    o.output = dir + "/dv.tga";
    std::string report, error;
    ASSERT_TRUE(makeSpriteFont(o, report, error)) << error;
    EXPECT_NE(report.find("99 glyphs"), std::string::npos) << report;

    SpriteFont font;
    ASSERT_TRUE(font.load(o.output.c_str(), 255));
    ASSERT_EQ(font.glyphCount(), kGlyphSlots);
    ASSERT_TRUE(font.loadEffect(255));
    EXPECT_EQ(font.effectSheet().width(), font.glyphSheet().width());
    EXPECT_LT(font.defaultSpacing(), 0); // the side room around each glyph is taken back
    EXPECT_LT(font.spacing(glyphIndexOf('A'), glyphIndexOf('V')), 0); // kerned pair
    // Every cell holds room for the effect on both sides: the pen moves by the advance.
    const int32_t advanceOfI = font.measureRun("ii", 0, 2) - font.measureRun("i", 0, 1);
    EXPECT_GT(advanceOfI, 2);
    EXPECT_LT(advanceOfI, 8);

    Image target;
    ASSERT_TRUE(target.allocate(200, 40));
    ASSERT_TRUE(font.drawLine("AV\xF6\x80", &target, 0, 0));
    int32_t w = 0, h = 0;
    font.lastTextSize(w, h);
    EXPECT_GT(w, 20);
    EXPECT_EQ(h, font.glyphSheet().height() - 2);
    int32_t inked = 0;
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 200; ++x)
            inked += target.pixelAt(x, y).red == 250 && target.pixelAt(x, y).alpha == 255;
    EXPECT_GT(inked, 40); // solid glyph cores in the font colour

    o.output = dir + "/" + std::string(300, 'x') + ".tga";
    EXPECT_FALSE(makeSpriteFont(o, report, error));
}

} // namespace
