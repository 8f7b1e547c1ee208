// TrueType effects are worked only over the part of each line that can reach the layer, band by
// band and where the line has ink; every pixel that lands in the layer must be the one that
// making the whole line and its whole shadows and blending them whole gives.
#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"
#include "text/DropShadowEffect.h"
#include "text/FontSystem.h"
#include "text/LineInk.h"
#include "text/TrueTypeFont.h"
#include "text/VerticalSmoothEffect.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kavelin {
namespace {

using Pixels = std::vector<uint8_t>;

// A drop shadow's settings; mode -1 stands for the vertical smoothing effect.
struct EffectSpec {
    int32_t angle, distance, mode;
    uint8_t red, green, blue, opacity;
};

// The shadow made the straightforward way: a buffer of the whole line and its ring, blended
// whole.
void wholeShadow(const EffectSpec& s, uint8_t* destination, int32_t dw, int32_t dh, int32_t x,
                 int32_t y, const uint8_t* text, int32_t w, int32_t h) {
    if (s.mode < 0 || s.mode > 2)
        return;
    const int32_t r = (s.mode + 1) / 2;
    const int32_t bw = w + 2 * r, bh = h + 2 * r;
    Pixels buffer(size_t(bw) * size_t(bh) * 4, 0);
    const auto alpha = [&](int32_t px, int32_t py) -> int {
        return px < 0 || py < 0 || px >= w || py >= h ? 0 : text[(size_t(py) * w + px) * 4 + 3];
    };
    for (int32_t ty = 0; ty < h; ++ty)
        for (int32_t tx = 0; tx < w; ++tx) {
            const int a = alpha(tx, ty);
            const int sides =
                alpha(tx, ty - 1) + alpha(tx, ty + 1) + alpha(tx - 1, ty) + alpha(tx + 1, ty);
            const int corners = alpha(tx - 1, ty - 1) + alpha(tx + 1, ty - 1) +
                                alpha(tx - 1, ty + 1) + alpha(tx + 1, ty + 1);
            const int out = s.mode == 0   ? (a > 0 ? a : -1)
                            : s.mode == 1 ? (4 * a + sides) / 8
                                          : (4 * a + 2 * sides + corners) / 16;
            if (out < 0)
                continue;
            uint8_t* p = &buffer[(size_t(ty + r) * size_t(bw) + size_t(tx + r)) * 4];
            p[0] = s.blue, p[1] = s.green, p[2] = s.red, p[3] = uint8_t(out);
        }
    int32_t dx = 0, dy = 0;
    DropShadowEffect::offset(s.angle, s.distance, dx, dy);
    const ClippedRect clip =
        clipRect(satSub(int64_t{x} + dx, r), satSub(int64_t{y} + dy, r), bw, bh, dw, dh);
    if (clip.w > 0 && clip.h > 0)
        blendImage(destination, clip.x, clip.y, dw, buffer.data(), clip.srcX, clip.srcY, bw, clip.w,
                   clip.h, s.opacity);
}

std::unique_ptr<FontEffect> makeEffect(const EffectSpec& s) {
    if (s.mode == -1)
        return std::make_unique<VerticalSmoothEffect>();
    return std::make_unique<DropShadowEffect>(s.angle, s.distance, s.mode, s.red, s.green, s.blue,
                                              s.opacity);
}

Pixels noise(size_t bytes, uint32_t seed) {
    std::mt19937 rng(seed);
    Pixels p(bytes);
    for (uint8_t& b : p)
        b = uint8_t(rng());
    return p;
}

// A line of text with blank rows, blank columns, long runs of ink and lone specks.
Pixels speckledText(int32_t w, int32_t h) {
    Pixels text = noise(size_t(w) * size_t(h) * 4, 7);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t& a = text[(size_t(y) * w + x) * 4 + 3];
            const bool blank = y < 2 || y == 9 || (x >= 12 && x < 30) || x == w - 1;
            const bool speck = x == 20 && y == 5;
            a = speck ? 1 : blank ? 0 : (x + y) % 11 == 0 ? 0 : a;
        }
    return text;
}

TEST(DropShadowBounds, DrawsWhatTheWholeShadowDrawsWhereverItLands) {
    const int32_t w = 45, h = 23, dw = 50, dh = 40;
    Pixels text = speckledText(w, h);
    const Pixels background = noise(size_t(dw) * dh * 4, 11);
    LineInk ink;
    ink.scanPixels(text.data(), w, h);
    const EffectSpec shadows[] = {
        {0, 0, 0, 10, 20, 30, 255}, {45, 3, 0, 200, 0, 0, 128},   {135, 17, 1, 0, 255, 0, 90},
        {270, 5, 2, 1, 2, 3, 255},  {200, 30, 2, 255, 255, 0, 1}, {90, 4, 0, 7, 7, 7, 0},
        {10, 2, 5, 9, 9, 9, 255},   {-45, 60, 1, 5, 6, 7, 200},
    };
    const std::pair<int32_t, int32_t> places[] = {
        {5, 5},     {-20, 3},       {30, 30},
        {-44, -22}, {200, 0},       {3, 39},
        {-3, -1},   {INT32_MAX, 4}, {INT32_MIN, INT32_MIN}};
    for (const EffectSpec& s : shadows)
        for (auto [x, y] : places) {
            Pixels expected = background;
            wholeShadow(s, expected.data(), dw, dh, x, y, text.data(), w, h);
            DropShadowEffect effect(s.angle, s.distance, s.mode, s.red, s.green, s.blue, s.opacity);
            Pixels whole = background;
            ASSERT_TRUE(effect.apply(whole.data(), dw, dh, x, y, text.data(), w, h));
            // With the line's ink and in bands of seven rows.
            Pixels banded = background;
            for (int32_t row = 0; row < dh; row += 7)
                ASSERT_TRUE(effect.applyRows(banded.data(), dw, dh, x, y, text.data(), w, h, ink,
                                             row, row + 7));
            const std::string where = "angle " + std::to_string(s.angle) + " mode " +
                                      std::to_string(s.mode) + " at " + std::to_string(x) + ", " +
                                      std::to_string(y);
            EXPECT_EQ(whole, expected) << where;
            EXPECT_EQ(banded, expected) << where;
        }
}

TEST(LineInkTest, StretchesCoverTheInkInWholeGroupsAndNeverOverlap) {
    // Row 0: ink at 5 and 50..52; row 1: none; row 2: ink at 9 only. Runs are found four
    // columns at a time: [4, 8) and [48, 56) in row 0, [8, 12) in row 2.
    const int32_t w = 64;
    Pixels text(size_t(w) * 3 * 4, 0);
    for (int32_t x : {5, 50, 51, 52})
        text[size_t(x) * 4 + 3] = 9;
    text[(size_t(2 * w) + 9) * 4 + 3] = 1;
    LineInk ink;
    ink.scanPixels(text.data(), w, 3);
    using Stretches = std::vector<std::pair<int32_t, int32_t>>;
    const auto stretches = [&](int64_t y, int64_t start, int32_t count, int32_t widen) {
        Stretches all;
        ink.forEachStretch(y, start, count, widen, [&](int32_t a, int32_t b) {
            all.push_back({a, b});
        });
        return all;
    };
    // Stretches start on a group of four from the row's start and end on one, or at the row's
    // end when they reach its last, partial group.
    EXPECT_EQ(stretches(0, 0, 64, 0), (Stretches{{4, 8}, {48, 56}}));
    EXPECT_EQ(stretches(0, 3, 50, 0), (Stretches{{0, 8}, {44, 50}}));
    EXPECT_EQ(stretches(1, 0, 64, 0), Stretches{});
    EXPECT_EQ(stretches(0, 60, 4, 0), Stretches{});
    // Widened by one column and one row on each side, from rows 0 to 2, merged where they meet.
    EXPECT_EQ(stretches(1, 0, 64, 1), (Stretches{{0, 16}, {44, 60}}));
    EXPECT_EQ(stretches(1, 0, 50, 1), (Stretches{{0, 16}, {44, 50}}));
}

// The reference for a font: each line made whole, every effect run over all of it (shadows
// blended whole), then the line blended.
class BoundedTextEffects : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(initFontSystem().ok()); }
    void TearDown() override { shutdownFontSystem(); }

    static void wholeLines(TrueTypeFont& font, const std::vector<EffectSpec>& effects,
                           Pixels& layer, int32_t lw, int32_t lh, int32_t x, int32_t y,
                           const std::vector<std::u16string>& lines, int32_t spacing,
                           uint32_t colour) {
        for (size_t k = 0; k < lines.size(); ++k) {
            LineBitmap line;
            ASSERT_TRUE(font.renderLine(lines[k], colour, line));
            const int32_t ly = saturate(int64_t{y} + int64_t(k) * spacing);
            for (const EffectSpec& e : effects) {
                if (e.mode == -1)
                    VerticalSmoothEffect().apply(nullptr, 0, 0, 0, 0, line.pixels.get(), line.width,
                                                 line.height);
                else
                    wholeShadow(e, layer.data(), lw, lh, x, ly, line.pixels.get(), line.width,
                                line.height);
            }
            const ClippedRect clip = clipRect(x, ly, line.width, line.height, lw, lh);
            if (clip.w > 0 && clip.h > 0)
                blendImage(layer.data(), clip.x, clip.y, lw, line.pixels.get(), clip.srcX,
                           clip.srcY, line.width, clip.w, clip.h, int32_t(colour >> 24));
        }
    }
};

TEST_F(BoundedTextEffects, LinesPartlyOutsideTheLayerMatchWholeLines) {
    const std::vector<EffectSpec> effects = {
        {45, 4, 2, 200, 30, 30, 255},  {0, 0, -1, 0, 0, 0, 0},   {200, 7, 1, 0, 250, 0, 128},
        {270, 40, 0, 10, 10, 250, 90}, {30, 3, 0, 0, 0, 0, 200},
    };
    const int32_t lw = 100, lh = 70;
    const Pixels background = noise(size_t(lw) * lh * 4, 3);
    const uint32_t colour = 0xE6336699;
    struct Case {
        int32_t x, y, spacing;
        bool wrap;
        std::vector<std::u16string> lines; // one word a line when wrapped
    };
    const std::vector<std::u16string> wide = {u"Kavelin", u"graphics", u"tonight",
                                              u"Weather", u"council",  u"WWWWW"};
    const std::vector<std::u16string> narrow = {u"news", u"WWW", u"radio", u"signal", u"studio"};
    const Case cases[] = {
        {-40, -50, 26, true, wide}, // lines above the layer, its left edge cut
        {10, 20, 30, true, narrow}, // lines below it, whose raised shadow still reaches it
        {-30, 10, 0, true, wide},   // every line at the same place
        {-5, 60, -25, true, wide},  // upwards from the bottom edge
        {-300, 20, 0, false, {u"Breaking news from the city: the council meets again"}},
        {40, -12, 0, false, {u"over the right edge"}},
        {2, 80, 0, false, {u"below, raised"}}, // only its raised shadow lands in the layer
    };
    for (const Case& c : cases) {
        TrueTypeFont font;
        ASSERT_TRUE(font.load("DejaVu Sans", 24, false, false, 1, 11));
        for (const EffectSpec& e : effects)
            ASSERT_TRUE(font.addEffect(makeEffect(e)));
        std::u16string text;
        for (const std::u16string& line : c.lines)
            text += (text.empty() ? u"" : u" ") + line;
        // Each word fills a wrapped line: it fits, two do not.
        for (size_t k = 0; c.wrap && k < c.lines.size(); ++k) {
            int32_t one = 0, two = 0, h = 0;
            ASSERT_TRUE(font.measureText(c.lines[k], one, h));
            ASSERT_TRUE(
                font.measureText(c.lines[k] + u" " + c.lines[(k + 1) % c.lines.size()], two, h));
            ASSERT_TRUE(one <= lw - c.x && two > lw - c.x) << c.x << " " << k;
        }
        Pixels bounded = background;
        ASSERT_TRUE(
            font.renderText(bounded.data(), lw, lh, c.x, c.y, text, colour, c.wrap, c.spacing));
        ASSERT_EQ(font.lastTextLines(), int32_t(c.lines.size())) << c.x << ", " << c.y;
        Pixels expected = background;
        wholeLines(font, effects, expected, lw, lh, c.x, c.y, c.lines, c.spacing, colour);
        EXPECT_EQ(bounded, expected) << c.x << ", " << c.y;
        EXPECT_NE(bounded, background) << c.x << ", " << c.y;
    }
}

} // namespace
} // namespace kavelin
