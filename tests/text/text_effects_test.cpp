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

Pixels noise(size_t bytes, uint32_t seed) {
    std::mt19937 rng(seed);
    Pixels p(bytes);
    for (uint8_t& b : p)
        b = uint8_t(rng());
    return p;
}

// The shadow's alpha of each text pixel, by mode, for the text alphas in row 0: hard copy,
// (4 a + sides) / 8, (4 a + 2 sides + corners) / 16.
constexpr int32_t kW = 4, kH = 3;
constexpr uint8_t kShadowAlpha[3][kW * kH] = {{255, 0, 64, 200, 0, 128, 0, 30, 90, 0, 255, 0},
                                              {127, 55, 57, 111, 59, 64, 59, 40, 45, 59, 127, 35},
                                              {71, 55, 50, 61, 59, 73, 72, 52, 30, 59, 73, 35}};

TEST(DropShadowEffect, EachModesAlphaBlendedWholeWhereverItLands) {
    const int32_t dw = 9, dh = 7;
    Pixels text = noise(kW * kH * 4, 5);
    for (int32_t i = 0; i < kW * kH; ++i)
        text[size_t(i) * 4 + 3] = kShadowAlpha[0][i];
    const Pixels background = noise(dw * dh * 4, 6);
    for (int32_t mode : {0, 1, 2, 3})
        for (auto [x, y, angle, distance] : {std::tuple{2, 1, 0, 0},
                                             {-2, -1, 45, 3},
                                             {4, 2, 90, 3},
                                             {0, 0, 180, 2},
                                             {INT32_MIN, 0, 0, 5}}) {
            // The expected shadow: the line in the shadow's colour with the mode's alpha and a
            // transparent ring of the soft modes' radius, blended whole.
            const int32_t r = mode < 3 ? (mode + 1) / 2 : 0, bw = kW + 2 * r, bh = kH + 2 * r;
            Pixels shadow(size_t(bw * bh) * 4, 0);
            for (int32_t i = 0; mode < 3 && i < kW * kH; ++i) {
                uint8_t* p = &shadow[size_t((i / kW + r) * bw + i % kW + r) * 4];
                p[0] = 30, p[1] = 20, p[2] = 10, p[3] = kShadowAlpha[mode][i];
            }
            int32_t dx = 0, dy = 0;
            DropShadowEffect::offset(angle, distance, dx, dy);
            const ClippedRect clip =
                clipRect(satSub(int64_t{x} + dx, r), satSub(int64_t{y} + dy, r), bw, bh, dw, dh);
            Pixels expected = background;
            if (clip.w > 0 && clip.h > 0)
                blendImage(expected.data(), clip.x, clip.y, dw, shadow.data(), clip.srcX, clip.srcY,
                           bw, clip.w, clip.h, 200);
            DropShadowEffect effect(angle, distance, mode, 10, 20, 30, 200);
            Pixels drawn = background;
            ASSERT_TRUE(effect.apply(drawn.data(), dw, dh, x, y, text.data(), kW, kH));
            EXPECT_EQ(drawn, expected) << "mode " << mode << " at " << x << ", " << y;
        }
}

// A line of text with blank rows, blank columns, long runs of ink and lone specks: drawn with
// its ink and band by band, a shadow draws what it draws in one go over the whole line.
TEST(DropShadowEffect, BandsAndInkDrawWhatTheWholeShadowDraws) {
    const int32_t w = 45, h = 23, dw = 50, dh = 40;
    Pixels text = noise(size_t(w) * size_t(h) * 4, 7);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t& a = text[(size_t(y) * w + x) * 4 + 3];
            const bool blank = y < 2 || y == 9 || (x >= 12 && x < 30) || x == w - 1;
            a = x == 20 && y == 5 ? 1 : blank || (x + y) % 11 == 0 ? 0 : a;
        }
    const Pixels background = noise(size_t(dw) * dh * 4, 11);
    LineInk ink;
    ink.scanPixels(text.data(), w, h);
    for (auto [angle, distance, mode] :
         {std::tuple{45, 3, 0}, {135, 17, 1}, {270, 5, 2}, {200, 30, 2}, {-45, 60, 1}})
        for (auto [x, y] : {std::pair{5, 5}, {-20, 3}, {30, 30}, {-44, -22}, {3, 39}, {-3, -1}}) {
            DropShadowEffect effect(angle, distance, mode, 200, 100, 50, 180);
            Pixels whole = background, banded = background;
            ASSERT_TRUE(effect.apply(whole.data(), dw, dh, x, y, text.data(), w, h));
            for (int32_t row = 0; row < dh; row += 7)
                ASSERT_TRUE(effect.applyRows(banded.data(), dw, dh, x, y, text.data(), w, h, ink,
                                             row, row + 7));
            EXPECT_EQ(banded, whole) << "angle " << angle << " at " << x << ", " << y;
        }
}

class BoundedTextEffects : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(initFontSystem().ok()); }
    void TearDown() override { shutdownFontSystem(); }
};

// The reference for each line: the whole line made, every effect run over all of it (shadows
// drawn whole), then the line blended.
TEST_F(BoundedTextEffects, LinesPartlyOutsideTheLayerMatchWholeLines) {
    const int32_t lw = 100, lh = 70;
    const Pixels background = noise(size_t(lw) * lh * 4, 3);
    const uint32_t colour = 0xE6336699;
    const auto effects = [] {
        std::vector<std::unique_ptr<FontEffect>> all;
        all.push_back(std::make_unique<DropShadowEffect>(45, 4, 2, 200, 30, 30, 255));
        all.push_back(std::make_unique<VerticalSmoothEffect>());
        all.push_back(std::make_unique<DropShadowEffect>(200, 7, 1, 0, 250, 0, 128));
        all.push_back(std::make_unique<DropShadowEffect>(270, 40, 0, 10, 10, 250, 90));
        all.push_back(std::make_unique<DropShadowEffect>(30, 3, 0, 0, 0, 0, 200));
        return all;
    };
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
        for (std::unique_ptr<FontEffect>& effect : effects())
            ASSERT_TRUE(font.addEffect(std::move(effect)));
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
        Pixels bounded = background, expected = background;
        ASSERT_TRUE(
            font.renderText(bounded.data(), lw, lh, c.x, c.y, text, colour, c.wrap, c.spacing));
        ASSERT_EQ(font.lastTextLines(), int32_t(c.lines.size())) << c.x << ", " << c.y;
        for (size_t k = 0; k < c.lines.size(); ++k) {
            LineBitmap line;
            ASSERT_TRUE(font.renderLine(c.lines[k], colour, line));
            const int32_t y = c.y + int32_t(k) * c.spacing;
            for (const std::unique_ptr<FontEffect>& effect : effects())
                effect->apply(expected.data(), lw, lh, c.x, y, line.pixels.get(), line.width,
                              line.height);
            const ClippedRect clip = clipRect(c.x, y, line.width, line.height, lw, lh);
            if (clip.w > 0 && clip.h > 0)
                blendImage(expected.data(), clip.x, clip.y, lw, line.pixels.get(), clip.srcX,
                           clip.srcY, line.width, clip.w, clip.h, int32_t(colour >> 24));
        }
        EXPECT_EQ(bounded, expected) << c.x << ", " << c.y;
        EXPECT_NE(bounded, background) << c.x << ", " << c.y;
    }
}

} // namespace
} // namespace kavelin
