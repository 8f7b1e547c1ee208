#include "engine/Renderer.h"
#include "image/Image.h"
#include "layers/Layer.h"
#include "net/Command.h"
#include "net/TextString.h"
#include "support/RecordingLog.h"
#include "text/TrueTypeFont.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kavelin;
using Lines = std::vector<std::string>;

namespace {

// Command lines as a client sends them, UTF-16 text appended byte by byte.
std::string utf16(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

class TrueTypeCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(renderer.init(720, 576, true, {0, 0, 0, 255}));
        const int set = renderer.createLayerSet();
        layer = renderer.createLayer(set);
        ASSERT_TRUE(renderer.initLayer_size(layer, 720, 100));
        log.clear();
    }
    // "OK", "OK <result>" or "ERROR", as the reply line reads.
    std::string run(const std::string& line) {
        Command command(line.data(), line.size());
        const bool ok = renderer.dispatch(command);
        std::string reply = ok ? "OK" : "ERROR";
        if (ok && command.result() != nullptr)
            reply += std::string(" ") + command.result()->text();
        return reply;
    }
    Lines take() {
        Lines lines = log.lines();
        log.clear();
        return lines;
    }

    test::RecordingLog log;
    Renderer renderer{log};
    int layer = -1;
};

TEST_F(TrueTypeCommandsTest, LoadFontRepliesAndLogs) {
    EXPECT_EQ(run("4 3 DejaVu Sans\t32 1 0 11 1"), "OK");
    EXPECT_EQ(take(), Lines{"Font DejaVu Sans loaded, size 32"});
    const TrueTypeFont* font = renderer.trueTypeFont(3);
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(font->bold());
    EXPECT_FALSE(font->italic());
    // Hexadecimal height through %i; bold only for exactly 1.
    EXPECT_EQ(run("4 3 DejaVu Serif\t0x20 2 1 11 1"), "OK");
    EXPECT_EQ(take(), Lines{"Font DejaVu Serif loaded, size 32"});
    EXPECT_FALSE(font->bold());
    EXPECT_TRUE(font->italic());

    EXPECT_EQ(run("4 50 DejaVu Sans\t32 0 0 11 1"), "ERROR");
    EXPECT_EQ(take(), Lines{"ERROR (loadFont) : Font number 50 out of range."});
    EXPECT_EQ(run("4 -1 DejaVu Sans\t32 0 0 11 1"), "ERROR");
    EXPECT_EQ(take(), Lines{"ERROR (loadFont) : Font number -1 out of range."});
    for (const char* height : {"100000", "-100000"}) {
        EXPECT_EQ(run(std::string("4 3 DejaVu Sans\t") + height + " 0 0 11 1"), "ERROR");
        EXPECT_EQ(take(), Lines{"ERROR (loadFont) : Loading failed."});
        EXPECT_FALSE(font->loaded());
    }
    for (const char* selector : {"-1", "99"}) {
        EXPECT_EQ(run(std::string("4 3 DejaVu Sans\t20 0 0 ") + selector + " 1"), "OK");
        EXPECT_EQ(take(), Lines{"Font DejaVu Sans loaded, size 20"});
    }
    EXPECT_EQ(renderer.loadFont(4, "", 20, false, false, 11, 1), true);
    EXPECT_EQ(take(), Lines{"Font  loaded, size 20"});
}

TEST_F(TrueTypeCommandsTest, QueriesBeforeAnyDrawingAndOutOfRange) {
    EXPECT_EQ(run("105 7"), "OK -1 -1");
    EXPECT_EQ(run("108 7"), "OK -1");
    EXPECT_EQ(take(), Lines{});
    EXPECT_EQ(run("105 50"), "ERROR");
    EXPECT_EQ(run("108 -3"), "ERROR");
    EXPECT_EQ(run("107 77 " + utf16(u"x")), "ERROR");
    EXPECT_EQ(take(), (Lines{"ERROR (tt_lastTextSize) : Font number 50 out of range.",
                             "ERROR (tt_lastTextLines) : Font number -3 out of range.",
                             "ERROR (tt_getTextSize) : Font number 77 out of range."}));
    // A font never loaded cannot measure: no log line.
    EXPECT_EQ(run("107 2 " + utf16(u"x")), "ERROR");
    EXPECT_EQ(take(), Lines{});
}

TEST_F(TrueTypeCommandsTest, GetTextSizeMeasuresWithoutTouchingTheLastSize) {
    ASSERT_EQ(run("4 2 DejaVu Sans\t24 0 0 11 1"), "OK");
    take();
    int32_t w = 0, h = 0;
    ASSERT_TRUE(renderer.trueTypeFont(2)->measureText(u"Hello", w, h));
    EXPECT_EQ(run("107 2 " + utf16(u"Hello")), "OK " + std::to_string(w) + " 24");
    EXPECT_EQ(take(), Lines{"Got text size: " + std::to_string(w) + " x 24 pixels."});
    EXPECT_EQ(run("105 2"), "OK -1 -1");
    // Empty text, and text cut at the first zero code unit.
    EXPECT_EQ(run("107 2 "), "OK 0 0");
    EXPECT_EQ(take(), Lines{"Got text size: 0 x 0 pixels."});
    EXPECT_EQ(run("107 2 " + utf16(u"Hello") + std::string("\0\0", 2) + utf16(u"World")),
              "OK " + std::to_string(w) + " 24");
    // A lone surrogate is measured, not refused.
    EXPECT_EQ(run("107 2 " + utf16(std::u16string_view(u"\xD83D", 1))).substr(0, 3), "OK ");
}

TEST_F(TrueTypeCommandsTest, DrawTextRendersAndReportsItsSize) {
    ASSERT_EQ(run("4 0 DejaVu Sans\t24 0 0 11 1"), "OK");
    take();
    int32_t w = 0, h = 0;
    ASSERT_TRUE(renderer.trueTypeFont(0)->measureText(u"Kavelin", w, h));
    EXPECT_EQ(
        run("104 " + std::to_string(layer) + " 10 20 0 255 255 255 255 0 0 " + utf16(u"Kavelin")),
        "OK");
    EXPECT_EQ(take(), Lines{"Text drawn to layer " + std::to_string(layer) + " at (10, 20), size " +
                            std::to_string(w) + " x 24."});
    EXPECT_EQ(run("105 0"), "OK " + std::to_string(w) + " 24");
    EXPECT_EQ(run("108 0"), "OK 1");
    // Pixels landed in the layer's image, inside the text's box only.
    const Image* image = renderer.findLayer(layer)->image();
    int inside = 0, outside = 0;
    for (int y = 0; y < image->height(); ++y)
        for (int x = 0; x < image->width(); ++x) {
            const bool in = x >= 10 && x < 10 + w && y >= 20 && y < 44;
            if (image->pixelAt(x, y).alpha != 0)
                ++(in ? inside : outside);
        }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(outside, 0);

    // Wrapped with spacing 30 into a layer 60 pixels wide.
    ASSERT_TRUE(renderer.initLayer_size(layer, 60, 100));
    EXPECT_EQ(run("104 " + std::to_string(layer) + " 0 0 0 255 255 255 255 1 30 " +
                  utf16(u"one two three four")),
              "OK");
    take();
    int32_t lines = 0;
    ASSERT_TRUE(renderer.tt_lastTextLines(0, lines));
    EXPECT_GE(lines, 2);
    int32_t lastW = 0, lastH = 0;
    ASSERT_TRUE(renderer.tt_lastTextSize(0, lastW, lastH));
    EXPECT_EQ(lastH, (lines - 1) * 30 + 24);
}

TEST_F(TrueTypeCommandsTest, DrawTextFailures) {
    const std::string text = utf16(u"x");
    EXPECT_EQ(run("104 99 0 0 0 255 255 255 255 0 0 " + text), "ERROR");
    EXPECT_EQ(take(), Lines{"ERROR : No layer found for number 99."});
    ASSERT_TRUE(renderer.resetLayer(layer));
    take();
    EXPECT_EQ(run("104 " + std::to_string(layer) + " 0 0 0 255 255 255 255 0 0 " + text), "ERROR");
    EXPECT_EQ(take(), Lines{"ERROR (drawText) : Destination layer (nr. " + std::to_string(layer) +
                            ") has no image!"});
    ASSERT_TRUE(renderer.initLayer_size(layer, 50, 50));
    take();
    EXPECT_EQ(run("104 " + std::to_string(layer) + " 0 0 50 255 255 255 255 0 0 " + text), "ERROR");
    EXPECT_EQ(take(), Lines{"ERROR (drawText) : Failed to draw text."});
    // A font that is not loaded.
    EXPECT_EQ(run("104 " + std::to_string(layer) + " 0 0 5 255 255 255 255 0 0 " + text), "ERROR");
    EXPECT_EQ(take(), Lines{"ERROR (drawText) : Failed to draw text."});
}

TEST_F(TrueTypeCommandsTest, AddFontEffectAndReloadDropsIt) {
    EXPECT_EQ(run("103 1 0 0 0 0 255 90 5 0"), "ERROR"); // font not loaded
    EXPECT_EQ(take(), Lines{"ERROR (addFontEffect) : Operation failed."});
    ASSERT_EQ(run("4 1 DejaVu Sans\t24 0 0 11 1"), "OK");
    take();
    EXPECT_EQ(run("103 1 0 255 0 0 255 90 5 0"), "OK");
    EXPECT_EQ(run("103 1 3 0 0 0 0 0 0 0"), "OK");
    EXPECT_EQ(take(), (Lines{"Added effect to font 1", "Added effect to font 1"}));
    for (const char* kind : {"1", "2", "-1", "4"}) {
        EXPECT_EQ(run(std::string("103 1 ") + kind + " 0 0 0 0 0 0 0"), "ERROR");
        EXPECT_EQ(take(), Lines{"ERROR (addFontEffect) : Operation failed."});
    }
    for (int i = 2; i < 10; ++i)
        EXPECT_EQ(run("103 1 3 0 0 0 0 0 0 0"), "OK");
    EXPECT_EQ(run("103 1 3 0 0 0 0 0 0 0"), "ERROR"); // the eleventh
    take();
    EXPECT_EQ(run("103 50 0 0 0 0 0 0 0 0"), "ERROR");
    EXPECT_EQ(take(), Lines{"ERROR (addFontEffect) : Font number 50 out of range."});

    // Loading again drops the effects: the shadow below the text is gone.
    auto shadowBelow = [&]() {
        renderer.initLayer_size(layer, 720, 100);
        run("104 " + std::to_string(layer) + " 0 0 1 255 255 255 255 0 0 " + utf16(u"I"));
        const Image* image = renderer.findLayer(layer)->image();
        for (int x = 0; x < 20; ++x)
            if (image->pixelAt(x, 21).alpha != 0)
                return true;
        return false;
    };
    ASSERT_EQ(run("4 1 DejaVu Sans\t24 0 0 11 1"), "OK");
    EXPECT_EQ(run("103 1 0 255 0 0 255 90 5 0"), "OK");
    EXPECT_TRUE(shadowBelow());
    ASSERT_EQ(run("4 1 DejaVu Sans\t24 0 0 11 1"), "OK");
    EXPECT_FALSE(shadowBelow());
}

} // namespace
