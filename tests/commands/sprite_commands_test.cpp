#include "CommandFixture.h"
#include "text/CharacterMap.h"
#include "text/FontFixture.h"

#include <filesystem>
#include <fstream>

using namespace kavelin;
using kavelin::test::Lines;

namespace {

class SpriteCommands : public test::CommandFixture {
protected:
    void SetUp() override {
        CommandFixture::SetUp();
        // A font of 99 glyphs 10 wide and 25 high, and an effect sheet for it.
        Image sheet;
        test::buildSheet(sheet, std::vector<int32_t>(size_t(kGlyphSlots), 10), 25);
        ASSERT_TRUE(writeTga(font().c_str(), sheet));
        ASSERT_TRUE(writeTga(file("font_EFFECT.tga").c_str(), sheet));
        run("116");
        run("121 0");
        take();
    }
    std::string font() const { return file("font.tga"); }
};

} // namespace

TEST_F(SpriteCommands, LoadingLogsEveryStepAndBakesColour) {
    const std::string nofx = file("nofx.tga");
    walk({
        {"58 3 " + font() + "\t1 255 128 1 1 2 3 1 4 5 6",
         "OK",
         {"Loading spritefont 3 : " + font(), "         - font file loaded.",
          "         - effect file loaded.", "         - font colorized.",
          "         - effect colorized."}},
        // Only 1 counts as a set flag; without an effect its colouring is refused.
        {"58 3 " + font() + "\t2 255 255 0 0 0 0 1 4 5 6",
         "OK",
         {"Loading spritefont 3 : " + font(), "         - font file loaded.",
          "Unable to colorize effect: no effect loaded!"}},
        {"58 4 " + nofx + "\t1 255 255 0 0 0 0 0 0 0 0",
         "ERROR",
         {"Loading spritefont 4 : " + nofx, "ERROR : " + nofx + ": No such file or directory.",
          "ERROR: Failed to load spritefont \"" + nofx + "\"."}},
        {"58 50 " + font() + "\t0 255 255 0 0 0 0 0 0 0 0",
         "ERROR",
         {"Loading spritefont 50 : " + font(),
          "ERROR (loadSpriteFont) : Font number 50 out of range."}},
    });
    std::filesystem::copy_file(font(), nofx);
    EXPECT_EQ(run("58 4 " + nofx + "\t1 255 255 0 0 0 0 0 0 0 0"), "OK");
    EXPECT_EQ(take().back(), "Unable to load effect.");

    // Colour and opacity are baked into the sheet when it is loaded.
    run("58 5 " + font() + "\t0 128 255 1 10 20 30 0 0 0 0");
    run("62 0 40 30");
    run("93 0 0 0 5 A\t0 0 0");
    const PixelColour ink = layer(0).image()->pixelAt(2, 2);
    EXPECT_EQ(std::tuple(ink.red, ink.green, ink.blue, ink.alpha), std::tuple(10, 20, 30, 128));
}

TEST_F(SpriteCommands, TextIntoLayersAndTheLastSize) {
    walk({
        {"106 2", "ERROR", {"ERROR (sf_lastTextSize) : Font 2 does not exist!"}},
        {"106 -1", "ERROR", {"ERROR (sf_lastTextSize) : Font number -1 out of range."}},
        {"62 0 30 20", "OK", {"Layer 0 initialized to 30 x 20"}},
        {"65 0 400 100 2 Hi\t0 0 0", "ERROR", {"ERROR (initLayer_text) : init failed."}},
        {"124 0", "OK 30 20", {}}, // a failed text layer leaves the layer as it was
    });
    EXPECT_EQ(layer(0).windowWidth(), 30);
    run("58 2 " + font() + "\t0 255 255 0 0 0 0 0 0 0 0");
    walk({
        {"106 2", "OK -1 -1", {}},
        {"95 0 400 100 2 Hi\t0 1 0", "OK", {"initLayer_text_fit : init successful."}},
        {"124 0", "OK 21 25", {}},
        {"106 2", "OK 21 25", {}},
    });
    EXPECT_EQ(test::glyphAt(*layer(0).image(), 11, 0), glyphIndexOf('I')); // upper case

    walk({
        {"65 0 100 80 2 one two three\t2 0 30", "OK", {"initLayer_text : init successful."}},
        {"124 0", "OK 100 80", {}},
        {"106 2", "OK 76 60", {}}, // two lines of 30, above the glyph height
        {"93 0 -5 70 2 AV\t0 0 0", "OK", {"Text drawn to layer 0 at (-5, 70)"}},
        {"106 2", "OK 16 10", {}}, // 5 visible columns, spacing 1, V; 10 rows left
    });
    EXPECT_EQ(test::glyphAt(*layer(0).image(), 0, 30), glyphIndexOf('t'));

    const std::shared_ptr<const Image> before = layer(0).imageRef();
    walk({
        {"93 0 0 0 2 A\t2 0 0", "ERROR", {"ERROR (drawText) : operation failed."}}, // line height 0
        {"93 0 0 0 7 A\t0 0 0", "ERROR", {"ERROR (drawText) : operation failed."}},
        {"93 9 0 0 2 A\t0 0 0", "ERROR", {"ERROR : No layer found for number 9."}},
    });
    EXPECT_EQ(layer(0).imageRef(), before); // failures leave the picture as it was
    walk({
        {"65 0 -1 10 2 A\t0 0 0", "ERROR", {"ERROR (initLayer_text) : init failed."}},
        {"61 0", "OK", {"Layer 0 reseted."}},
        {"93 0 0 0 2 A\t0 0 0", "ERROR", {"ERROR (drawText) : operation failed."}},
    });
}

// A load that fails at any file leaves the font that was in the number; a successful one
// takes over its default spacing and last text size.
TEST_F(SpriteCommands, FailedLoadsKeepTheFontOfTheNumber) {
    const auto load = [&](const std::string& path, int effect) {
        return "58 2 " + path + "\t" + std::to_string(effect) + " 255 255 0 0 0 0 0 0 0 0";
    };
    std::ofstream(file("font.txt")) << "default\t4\n";
    ASSERT_EQ(run(load(font(), 1)), "OK");
    ASSERT_EQ(run("65 0 400 100 2 AB\t0 0 0"), "OK");
    const std::string drawn = run("106 2");
    EXPECT_EQ(drawn, "OK 24 25"); // 10 + 4 + 10

    // Broken: a sheet cut short, an effect sheet that is a directory (a spacing file that
    // cannot be read is in tests/e2e/bad_files_test.cpp). Each fails and the number keeps the
    // font loaded above.
    std::filesystem::copy_file(font(), file("cut.tga"));
    std::filesystem::resize_file(file("cut.tga"), 100);
    std::filesystem::copy_file(font(), file("dir.tga"));
    std::filesystem::create_directory(file("dir_EFFECT.tga"));
    walk({{load(file("cut.tga"), 0),
           "ERROR",
           {"Loading spritefont 2 : " + file("cut.tga"),
            "ERROR : " + file("cut.tga") + ": header claims more than the file holds.",
            "ERROR: Failed to load spritefont \"" + file("cut.tga") + "\"."}},
          {load(file("dir.tga"), 1),
           "ERROR",
           {"Loading spritefont 2 : " + file("dir.tga"), "         - font file loaded.",
            "ERROR : " + file("dir_EFFECT.tga") + ": is a directory.", "Unable to load effect."}},
          {"106 2", drawn, {}},
          {"95 0 400 100 2 AB\t0 0 0", "OK", {"initLayer_text_fit : init successful."}},
          {"124 0", "OK 24 25", {}}});

    // A new font in the number keeps the default spacing (its file sets none) and last size.
    std::filesystem::copy_file(font(), file("plain.tga"));
    EXPECT_EQ(run(load(file("plain.tga"), 0)), "OK");
    EXPECT_EQ(run("106 2"), drawn);
    EXPECT_EQ(run("95 0 400 100 2 AB\t0 0 0"), "OK");
    EXPECT_EQ(run("124 0"), "OK 24 25");
    // A number that never had a font has none after a failed load.
    EXPECT_EQ(run("58 7 " + file("cut.tga") + "\t0 255 255 0 0 0 0 0 0 0 0"), "ERROR");
    walk({{"106 7", "ERROR", {"ERROR (sf_lastTextSize) : Font 7 does not exist!"}}});
}

TEST_F(SpriteCommands, FontNumberReservations) {
    walk({
        {"111", "OK 0", {}},
        {"111", "OK 1", {}},
        {"111", "OK 2", {}},
        {"112 1", "OK", {"Font number 1 released."}},
        {"111", "OK 1", {}},
        {"112 7", "ERROR", {"ERROR (releaseFontNumber) : Font 7 is not reserved!"}},
        {"112 50", "ERROR", {"ERROR (releaseFontNumber) : Font number 50 out of range."}},
    });
    for (int i = 3; i < 50; ++i)
        ASSERT_EQ(run("111"), "OK " + std::to_string(i));
    walk({
        {"111", "ERROR", {}},
        {"114", "OK", {"All fontnumbers released."}},
        {"111", "OK 0", {}},
    });
}
