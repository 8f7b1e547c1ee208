#include "image/PixelRoutines.h"
#include "text/DropShadowEffect.h"
#include "text/VerticalSmoothEffect.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavelin {
namespace {

using Pixels = std::vector<uint8_t>;

Pixels blank(int w, int h) {
    return Pixels(static_cast<size_t>(w * h * 4), 0);
}
uint8_t alphaAt(const Pixels& p, int w, int x, int y) {
    return p[static_cast<size_t>((y * w + x) * 4 + 3)];
}
void setPixel(Pixels& p, int w, int x, int y, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    uint8_t* q = &p[static_cast<size_t>((y * w + x) * 4)];
    q[0] = b, q[1] = g, q[2] = r, q[3] = a;
}

// The alpha a source pixel of that alpha leaves on a transparent pixel when blended at full
// opacity: what a shadow pixel of that alpha must become.
uint8_t blended(uint8_t alpha) {
    Pixels d = blank(1, 1);
    Pixels s = blank(1, 1);
    s[3] = alpha;
    blendImage(d.data(), 0, 0, 1, s.data(), 0, 0, 1, 1, 1, 255);
    return d[3];
}

TEST(DropShadowEffect, OffsetFollowsTheAngleTruncatedTowardZero) {
    int dx = -1, dy = -1;
    DropShadowEffect::offset(90, 5, dx, dy);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 5);
    DropShadowEffect::offset(45, 3, dx, dy);
    EXPECT_EQ(dx, 2);
    EXPECT_EQ(dy, 2);
    DropShadowEffect::offset(180, 4, dx, dy);
    EXPECT_EQ(dx, -4);
    EXPECT_EQ(dy, 0);
    // Extreme distances saturate instead of overflowing.
    DropShadowEffect::offset(0, INT32_MAX, dx, dy);
    EXPECT_EQ(dx, INT32_MAX);
}

TEST(DropShadowEffect, HardShadowLandsFiveBelowAtAngleNinety) {
    const int dw = 10, dh = 12;
    Pixels dst = blank(dw, dh);
    Pixels text = blank(2, 2);
    setPixel(text, 2, 0, 0, 255, 255, 255, 255);
    DropShadowEffect shadow(90, 5, 0, 10, 20, 30, 255);
    ASSERT_TRUE(shadow.apply(dst.data(), dw, dh, 3, 1, text.data(), 2, 2));
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x)
            EXPECT_EQ(alphaAt(dst, dw, x, y), (x == 3 && y == 6) ? blended(255) : 0)
                << x << "," << y;
    const uint8_t* p = &dst[static_cast<size_t>((6 * dw + 3) * 4)];
    EXPECT_EQ(p[0], 30); // blue
    EXPECT_EQ(p[1], 20); // green
    EXPECT_EQ(p[2], 10); // red
    // The text itself is not changed by a shadow.
    EXPECT_EQ(alphaAt(text, 2, 0, 0), 255);
}

TEST(DropShadowEffect, SoftModesSpreadOverAOnePixelRing) {
    // One opaque pixel at (4, 4); angle 0 distance 0 keeps the shadow in place.
    for (int mode : {1, 2}) {
        const int dw = 9, dh = 9;
        Pixels dst = blank(dw, dh);
        Pixels text = blank(1, 1);
        setPixel(text, 1, 0, 0, 0, 0, 0, 255);
        DropShadowEffect shadow(0, 0, mode, 0, 0, 0, 255);
        ASSERT_TRUE(shadow.apply(dst.data(), dw, dh, 4, 4, text.data(), 1, 1));
        // Inside the text: 4a/8 = 127 (mode 1), 4a/16 = 63 (mode 2). The ring stays empty
        // because only text pixels are written.
        EXPECT_EQ(alphaAt(dst, dw, 4, 4), blended(mode == 1 ? 127 : 63));
        EXPECT_EQ(alphaAt(dst, dw, 3, 4), 0);
        EXPECT_EQ(alphaAt(dst, dw, 5, 5), 0);
    }
    // Two pixels side by side in mode 1: each sees the other as a neighbour.
    const int dw = 6, dh = 3;
    Pixels dst = blank(dw, dh);
    Pixels text = blank(2, 1);
    setPixel(text, 2, 0, 0, 0, 0, 0, 200);
    setPixel(text, 2, 1, 0, 0, 0, 0, 100);
    DropShadowEffect shadow(0, 0, 1, 0, 0, 0, 255);
    ASSERT_TRUE(shadow.apply(dst.data(), dw, dh, 1, 1, text.data(), 2, 1));
    EXPECT_EQ(alphaAt(dst, dw, 1, 1), blended((4 * 200 + 100) / 8));
    EXPECT_EQ(alphaAt(dst, dw, 2, 1), blended((4 * 100 + 200) / 8));
}

TEST(DropShadowEffect, DrawsWhereTheTextIsClippedAwayAndNowhereOutside) {
    // The line sits entirely above the destination; its shadow 5 lower reaches row 0.
    const int dw = 4, dh = 4;
    Pixels dst = blank(dw, dh);
    Pixels text = blank(1, 2);
    setPixel(text, 1, 0, 1, 0, 0, 0, 255);
    DropShadowEffect shadow(90, 5, 0, 0, 0, 0, 255);
    ASSERT_TRUE(shadow.apply(dst.data(), dw, dh, 1, -6, text.data(), 1, 2));
    EXPECT_EQ(alphaAt(dst, dw, 1, 0), blended(255));
    // Far outside: nothing drawn, nothing touched out of bounds (ASan watches).
    Pixels dst2 = blank(dw, dh);
    ASSERT_TRUE(shadow.apply(dst2.data(), dw, dh, INT32_MIN, INT32_MAX, text.data(), 1, 2));
    EXPECT_EQ(dst2, blank(dw, dh));
}

TEST(DropShadowEffect, OtherModesAndMissingPixels) {
    const int dw = 4, dh = 4;
    Pixels dst = blank(dw, dh);
    Pixels text = blank(1, 1);
    setPixel(text, 1, 0, 0, 0, 0, 0, 255);
    DropShadowEffect odd(0, 0, 7, 0, 0, 0, 255);
    EXPECT_TRUE(odd.apply(dst.data(), dw, dh, 0, 0, text.data(), 1, 1));
    EXPECT_EQ(dst, blank(dw, dh));
    DropShadowEffect huge(0, 0, INT32_MAX, 0, 0, 0, 255);
    EXPECT_TRUE(huge.apply(dst.data(), dw, dh, 0, 0, text.data(), 1, 1));
    DropShadowEffect hard(0, 0, 0, 0, 0, 0, 255);
    EXPECT_FALSE(hard.apply(nullptr, dw, dh, 0, 0, text.data(), 1, 1));
    EXPECT_FALSE(hard.apply(dst.data(), dw, dh, 0, 0, nullptr, 1, 1));
}

TEST(VerticalSmoothEffect, BlendsEachByteWithTheRowBelow) {
    Pixels text = blank(1, 2);
    setPixel(text, 1, 0, 0, 255, 255, 255, 255);
    VerticalSmoothEffect smooth;
    ASSERT_TRUE(smooth.apply(nullptr, 0, 0, 0, 0, text.data(), 1, 2));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(text[static_cast<size_t>(i)], 191); // floor(3 * 255 / 4)
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(text[static_cast<size_t>(i)], 0); // the last row is left alone
    // Reads the row below before it changes: a column 0, 255, 255 becomes 63, 255, 255.
    Pixels column = blank(1, 3);
    setPixel(column, 1, 0, 1, 0, 0, 0, 255);
    setPixel(column, 1, 0, 2, 0, 0, 0, 255);
    ASSERT_TRUE(smooth.apply(nullptr, 0, 0, 0, 0, column.data(), 1, 3));
    EXPECT_EQ(alphaAt(column, 1, 0, 0), 63);
    EXPECT_EQ(alphaAt(column, 1, 0, 1), 255);
}

TEST(VerticalSmoothEffect, OneRowIsUnchangedAndNoPixelsFail) {
    Pixels text = blank(3, 1);
    setPixel(text, 3, 1, 0, 9, 8, 7, 200);
    const Pixels before = text;
    VerticalSmoothEffect smooth;
    EXPECT_TRUE(smooth.apply(nullptr, 0, 0, 0, 0, text.data(), 3, 1));
    EXPECT_EQ(text, before);
    EXPECT_FALSE(smooth.apply(nullptr, 0, 0, 0, 0, nullptr, 3, 1));
}

} // namespace
} // namespace kavelin
