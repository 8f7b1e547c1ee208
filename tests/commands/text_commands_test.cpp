#include "CommandFixture.h"

#include <cstdlib>

using namespace kavelin;
using kavelin::test::Lines;

namespace {

// UTF-16 text as a client appends it to the line, least significant byte first.
std::string utf16(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// The width in "OK W H".
int widthOf(const std::string& reply) {
    return std::atoi(reply.c_str() + 3);
}

class TextCommands : public test::CommandFixture {
protected:
    void SetUp() override {
        CommandFixture::SetUp();
        run("116");
        run("121 0");
        run("62 0 720 100");
        take();
    }
};

} // namespace

TEST_F(TextCommands, LoadFontRepliesLogsAndTakesItsFlags) {
    walk({
        {"4 3 DejaVu Sans\t32 0 0 11 1", "OK", {"Font DejaVu Sans loaded, size 32"}},
        {"4 3 DejaVu Serif\t0x20 2 1 11 1", "OK", {"Font DejaVu Serif loaded, size 32"}},
        {"4 50 DejaVu Sans\t32 0 0 11 1",
         "ERROR",
         {"ERROR (loadFont) : Font number 50 out of range."}},
        {"4 -1 DejaVu Sans\t32 0 0 11 1",
         "ERROR",
         {"ERROR (loadFont) : Font number -1 out of range."}},
        {"4 3 DejaVu Sans\t100000 0 0 11 1", "ERROR", {"ERROR (loadFont) : Loading failed."}},
        {"107 3 " + utf16(u"x"), "OK 16 32", {"Got text size: 16 x 32 pixels."}}, // Serif kept
        {"4 3 DejaVu Sans\t20 0 0 -1 1", "OK", {"Font DejaVu Sans loaded, size 20"}},
        {"4 3 DejaVu Sans\t20 0 0 99 1", "OK", {"Font DejaVu Sans loaded, size 20"}},
    });
    // Bold only for exactly 1: the same text is wider in bold.
    const std::string text = utf16(u"Kavelin broadcast");
    run("4 1 DejaVu Sans\t24 0 0 11 1");
    const int regular = widthOf(run("107 1 " + text));
    run("4 1 DejaVu Sans\t24 2 0 11 1");
    EXPECT_EQ(widthOf(run("107 1 " + text)), regular);
    run("4 1 DejaVu Sans\t24 1 0 11 1");
    EXPECT_GT(widthOf(run("107 1 " + text)), regular);
}

TEST_F(TextCommands, QueriesMeasuringAndDrawing) {
    walk({
        {"105 7", "OK -1 -1", {}},
        {"108 7", "OK -1", {}},
        {"105 50", "ERROR", {"ERROR (tt_lastTextSize) : Font number 50 out of range."}},
        {"108 -3", "ERROR", {"ERROR (tt_lastTextLines) : Font number -3 out of range."}},
        {"107 77 " + utf16(u"x"),
         "ERROR",
         {"ERROR (tt_getTextSize) : Font number 77 out of range."}},
        {"107 2 " + utf16(u"x"), "ERROR", {}}, // never loaded: cannot measure
        {"4 0 DejaVu Sans\t24 0 0 11 1", "OK", {"Font DejaVu Sans loaded, size 24"}},
        {"107 0 ", "OK 0 0", {"Got text size: 0 x 0 pixels."}},
    });
    const std::string measured = run("107 0 " + utf16(u"Kavelin"));
    const int w = widthOf(measured);
    EXPECT_EQ(measured, "OK " + std::to_string(w) + " 24");
    EXPECT_EQ(take(), Lines{"Got text size: " + std::to_string(w) + " x 24 pixels."});
    EXPECT_EQ(run("105 0"), "OK -1 -1"); // measuring is not drawing
    // Text ends at the first zero code unit; a lone surrogate is measured, not refused.
    EXPECT_EQ(run("107 0 " + utf16(u"Kavelin") + std::string("\0\0", 2) + utf16(u"xyz")), measured);
    EXPECT_EQ(run("107 0 " + utf16(std::u16string_view(u"\xD83D", 1))).substr(0, 3), "OK ");

    take();
    EXPECT_EQ(run("104 0 10 20 0 255 255 255 255 0 0 " + utf16(u"Kavelin")), "OK");
    EXPECT_EQ(take(),
              Lines{"Text drawn to layer 0 at (10, 20), size " + std::to_string(w) + " x 24."});
    EXPECT_EQ(run("105 0"), measured);
    EXPECT_EQ(run("108 0"), "OK 1");
    // The colour's bytes come from red, green, blue and opacity in that order (blending over
    // the transparent picture takes one off each).
    run("62 0 40 30");
    run("104 0 0 0 0 200 100 50 255 0 0 " + utf16(u"\x2588")); // a full block
    const PixelColour ink = layer(0).image()->pixelAt(5, 12);
    EXPECT_EQ(std::tuple(ink.red, ink.green, ink.blue), std::tuple(199, 99, 49));

    // Wrapped with spacing 30 into a layer 60 pixels wide.
    run("62 0 60 100");
    EXPECT_EQ(run("104 0 0 0 0 255 255 255 255 1 30 " + utf16(u"one two three four")), "OK");
    const int lines = std::atoi(run("108 0").c_str() + 3);
    EXPECT_GE(lines, 2);
    EXPECT_EQ(run("105 0").substr(run("105 0").find(' ', 3) + 1),
              std::to_string((lines - 1) * 30 + 24));
}

TEST_F(TextCommands, DrawingFailuresChangeNothing) {
    const std::string text = utf16(u"x");
    run("4 0 DejaVu Sans\t24 0 0 11 1");
    take();
    walk({
        {"104 99 0 0 0 255 255 255 255 0 0 " + text,
         "ERROR",
         {"ERROR : No layer found for number 99."}},
        {"104 0 0 0 50 255 255 255 255 0 0 " + text,
         "ERROR",
         {"ERROR (drawText) : Failed to draw text."}},
        {"104 0 0 0 5 255 255 255 255 0 0 " + text,
         "ERROR",
         {"ERROR (drawText) : Failed to draw text."}},
        {"61 0", "OK", {"Layer 0 reseted."}},
        {"104 0 0 0 0 255 255 255 255 0 0 " + text,
         "ERROR",
         {"ERROR (drawText) : Destination layer (nr. 0) has no image!"}},
    });
}

TEST_F(TextCommands, EffectsAreLimitedAndDroppedByReloading) {
    walk({
        {"103 1 0 0 0 0 255 90 5 0", "ERROR", {"ERROR (addFontEffect) : Operation failed."}},
        {"4 1 DejaVu Sans\t24 0 0 11 1", "OK", {"Font DejaVu Sans loaded, size 24"}},
        {"103 1 0 255 0 0 255 90 5 0", "OK", {"Added effect to font 1"}},
        {"103 1 3 0 0 0 0 0 0 0", "OK", {"Added effect to font 1"}},
        {"103 1 1 0 0 0 0 0 0 0", "ERROR", {"ERROR (addFontEffect) : Operation failed."}},
        {"103 1 4 0 0 0 0 0 0 0", "ERROR", {"ERROR (addFontEffect) : Operation failed."}},
        {"103 50 0 0 0 0 0 0 0 0",
         "ERROR",
         {"ERROR (addFontEffect) : Font number 50 out of range."}},
    });
    for (int i = 2; i < 10; ++i)
        EXPECT_EQ(run("103 1 3 0 0 0 0 0 0 0"), "OK");
    EXPECT_EQ(run("103 1 3 0 0 0 0 0 0 0"), "ERROR"); // the eleventh
    run("4 1 DejaVu Sans\t24 0 0 11 1");              // loading again drops them
    EXPECT_EQ(run("103 1 3 0 0 0 0 0 0 0"), "OK");
}
