#include "engine/Renderer.h"
#include "layers/Layer.h"
#include "net/Command.h"
#include "support/RecordingLog.h"
#include "text/CharacterMap.h"
#include "text/SpriteFont.h"

#include "text/FontFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavelin::test {
namespace {

using Lines = std::vector<std::string>;

class SpriteCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = tempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(renderer_.init(720, 576, true, {}));
        // A font of 99 glyphs 10 wide and 25 high, and an effect sheet for it.
        Image sheet;
        buildSheet(sheet, std::vector<int32_t>(size_t(kGlyphSlots), 10), 25);
        ASSERT_TRUE(writeTga(font().c_str(), sheet));
        ASSERT_TRUE(writeTga((dir_ + "/font_EFFECT.tga").c_str(), sheet));
    }
    std::string font() const { return dir_ + "/font.tga"; }
    // Runs one command line; result_ gets its result text or "<none>", log_ its lines.
    bool run(const std::string& line) {
        log_.clear();
        Command command(line.c_str(), line.size());
        const bool ok = renderer_.dispatch(command);
        result_ = command.result() ? command.result()->text() : "<none>";
        return ok;
    }
    std::string dir_;
    RecordingLog log_;
    Renderer renderer_{log_};
    std::string result_;
};

TEST_F(SpriteCommands, LoadSpriteFontLogsEveryStep) {
    EXPECT_TRUE(run("58 3 " + font() + "\t1 255 128 1 1 2 3 1 4 5 6"));
    EXPECT_EQ(log_.lines(), (Lines{"Loading spritefont 3 : " + font(),
                                   "         - font file loaded.", "         - effect file loaded.",
                                   "         - font colorized.", "         - effect colorized."}));
    const SpriteFont* f = renderer_.spriteFont(3);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->effectOpacity(), 128);
    EXPECT_EQ(f->glyphSheet().pixelAt(0, 2).blue, 3);
    EXPECT_EQ(f->effectSheet().pixelAt(0, 2).red, 4);

    // Only 1 counts as a set flag; without an effect its colouring is refused.
    EXPECT_TRUE(run("58 3 " + font() + "\t2 255 255 0 0 0 0 1 4 5 6"));
    EXPECT_FALSE(f->effectLoaded());
    EXPECT_EQ(log_.lines(),
              (Lines{"Loading spritefont 3 : " + font(), "         - font file loaded.",
                     "Unable to colorize effect: no effect loaded!"}));

    EXPECT_TRUE(run("58 4 " + dir_ + "/nofx.tga\t1 255 255 0 0 0 0 0 0 0 0") == false);
    EXPECT_EQ(log_.lines(), (Lines{"Loading spritefont 4 : " + dir_ + "/nofx.tga",
                                   "ERROR: Failed to load spritefont \"" + dir_ + "/nofx.tga\"."}));
    EXPECT_NE(renderer_.spriteFont(4), nullptr); // the slot exists from the first try on

    ASSERT_TRUE(writeTga((dir_ + "/nofx.tga").c_str(), renderer_.spriteFont(3)->glyphSheet()));
    EXPECT_TRUE(run("58 4 " + dir_ + "/nofx.tga\t1 255 255 0 0 0 0 0 0 0 0"));
    EXPECT_EQ(log_.lines().back(), "Unable to load effect.");

    EXPECT_FALSE(run("58 50 " + font() + "\t0 255 255 0 0 0 0 0 0 0 0"));
    EXPECT_EQ(log_.lines(), (Lines{"Loading spritefont 50 : " + font(),
                                   "ERROR (loadSpriteFont) : Font number 50 out of range."}));
}

TEST_F(SpriteCommands, TextIntoLayersAndTheLastSize) {
    ASSERT_TRUE(run("116"));
    ASSERT_TRUE(run("121 0"));
    EXPECT_FALSE(run("106 2"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR (sf_lastTextSize) : Font 2 does not exist!"});
    EXPECT_FALSE(run("106 -1"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR (sf_lastTextSize) : Font number -1 out of range."});
    EXPECT_FALSE(run("65 0 400 100 2 Hi\t0 0 0"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR (initLayer_text) : init failed."});

    ASSERT_TRUE(run("58 2 " + font() + "\t0 255 255 0 0 0 0 0 0 0 0"));
    ASSERT_TRUE(run("106 2"));
    EXPECT_EQ(result_, "-1 -1");

    EXPECT_TRUE(run("95 0 400 100 2 Hi\t0 1 0"));
    EXPECT_EQ(log_.lines(), Lines{"initLayer_text_fit : init successful."});
    const Image* image = renderer_.findLayer(0)->image();
    EXPECT_EQ(image->width(), 21);
    EXPECT_EQ(image->height(), 25);
    EXPECT_EQ(glyphAt(*image, 11, 0), glyphIndexOf('I')); // upper case
    ASSERT_TRUE(run("106 2"));
    EXPECT_EQ(result_, "21 25");

    EXPECT_TRUE(run("65 0 100 80 2 one two three\t2 0 30"));
    EXPECT_EQ(log_.lines(), Lines{"initLayer_text : init successful."});
    image = renderer_.findLayer(0)->image();
    EXPECT_EQ(image->width(), 100);
    EXPECT_EQ(glyphAt(*image, 0, 30), glyphIndexOf('t'));
    ASSERT_TRUE(run("106 2"));
    EXPECT_EQ(result_, "76 60"); // two lines of 30, above the glyph height

    EXPECT_TRUE(run("93 0 -5 70 2 AV\t0 0 0"));
    EXPECT_EQ(log_.lines(), Lines{"Text drawn to layer 0 at (-5, 70)"});
    EXPECT_EQ(glyphAt(*image, 0, 79), glyphIndexOf('A'));
    EXPECT_EQ(glyphAt(*image, 5, 79), -1);
    EXPECT_EQ(glyphAt(*image, 6, 79), glyphIndexOf('V'));
    ASSERT_TRUE(run("106 2"));
    EXPECT_EQ(result_, "16 10"); // 5 visible columns, spacing 1, V; 10 rows left

    EXPECT_FALSE(run("93 0 0 0 2 A\t2 0 0")); // wrapped with line height 0
    EXPECT_EQ(log_.lines(), Lines{"ERROR (drawText) : operation failed."});
    EXPECT_FALSE(run("93 0 0 0 7 A\t0 0 0"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR (drawText) : operation failed."});
    EXPECT_FALSE(run("93 9 0 0 2 A\t0 0 0"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR : No layer found for number 9."});
    EXPECT_FALSE(run("65 0 -1 10 2 A\t0 0 0"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR (initLayer_text) : init failed."});
    ASSERT_TRUE(run("61 0"));
    EXPECT_FALSE(run("93 0 0 0 2 A\t0 0 0")); // no image after a reset
}

TEST_F(SpriteCommands, FontNumberReservations) {
    ASSERT_TRUE(run("111"));
    EXPECT_EQ(result_, "0");
    ASSERT_TRUE(run("111"));
    ASSERT_TRUE(run("111"));
    EXPECT_EQ(result_, "2");
    EXPECT_TRUE(run("112 1"));
    EXPECT_EQ(log_.lines(), Lines{"Font number 1 released."});
    ASSERT_TRUE(run("111"));
    EXPECT_EQ(result_, "1");
    EXPECT_FALSE(run("112 7"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR (releaseFontNumber) : Font 7 is not reserved!"});
    EXPECT_FALSE(run("112 50"));
    EXPECT_EQ(log_.lines(), Lines{"ERROR (releaseFontNumber) : Font number 50 out of range."});
    for (int i = 3; i < 50; ++i)
        ASSERT_TRUE(run("111"));
    EXPECT_FALSE(run("111"));
    EXPECT_EQ(result_, "<none>");
    EXPECT_TRUE(log_.lines().empty());
    EXPECT_TRUE(run("114"));
    EXPECT_EQ(log_.lines(), Lines{"All fontnumbers released."});
    ASSERT_TRUE(run("111"));
    EXPECT_EQ(result_, "0");
}

} // namespace
} // namespace kavelin::test
