#include "image/CleanKey.h"
#include "image/FrameBuffer.h"
#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace kavelin;

namespace {

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

uint32_t grey(uint32_t a, uint32_t c) {
    return argb(a, c, c, c);
}

using Pixels = std::vector<uint32_t>;

uint8_t* bytes(Pixels& p) {
    return reinterpret_cast<uint8_t*>(p.data());
}

} // namespace

TEST(SaturatingMath, ValuesBeyondThe32BitRangeStopAtItsEnds) {
    EXPECT_EQ(saturate(int64_t{INT32_MAX} + 1), INT32_MAX);
    EXPECT_EQ(saturate(int64_t{INT32_MIN} - 1), INT32_MIN);
    EXPECT_EQ(saturate(-7), -7);
    for (auto [value, want] : {std::pair{2147483648.0, INT32_MAX},
                               {2147483647.9, INT32_MAX},
                               {-2147483648.9, INT32_MIN},
                               {-2147483649.0, INT32_MIN},
                               {-1e300, INT32_MIN},
                               {std::nan(""), INT32_MIN},
                               {-2.9, -2}})
        EXPECT_EQ(truncateToInt32(value), want) << value;
}

TEST(BlendRow, GroupsOfFourUseTheReciprocalAndTheTailDivides) {
    // Six pixels: one group of four, then two single-form pixels. Half-transparent grey 200 over
    // opaque grey 100 gives 149 by the reciprocal and 150 by true division; opaque white over
    // black 254 and 255.
    for (auto [under, over, group, tail] :
         {std::tuple{grey(255, 100), grey(128, 200), grey(254, 149), grey(254, 150)},
          {grey(255, 0), grey(255, 255), grey(254, 254), grey(254, 255)}}) {
        Pixels dst(6, under), src(6, over);
        blendRow(bytes(dst), bytes(src), 6, 255);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(dst[i], i < 4 ? group : tail) << i;
    }
}

TEST(BlendRow, TransparentPixelsAndTheTransparentDestinationRule) {
    // A group with one visible source pixel changes all four destination pixels.
    Pixels dst(4, grey(255, 50)), src{grey(255, 255), 0, 0, 0};
    blendRow(bytes(dst), bytes(src), 4, 255);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(dst[i], grey(254, 49)) << i;
    // A group whose four weights are all 0 is left alone (opacity 1 makes every weight 0).
    Pixels same(4, grey(255, 50));
    blendRow(bytes(same), bytes(src), 4, 1);
    EXPECT_EQ(same, Pixels(4, grey(255, 50)));
    // Over a transparent destination blendRow takes the source's colour, blendImage blends.
    Pixels source{argb(255, 255, 10, 200), grey(255, 255), argb(0, 9, 9, 9), argb(100, 1, 2, 3)};
    Pixels row(4, 0), image(4, 0);
    blendRow(bytes(row), bytes(source), 4, 255);
    EXPECT_EQ(row, (Pixels{argb(254, 255, 10, 200), grey(254, 255), argb(0, 9, 9, 9),
                           argb(99, 1, 2, 3)}));
    blendImage(bytes(image), 0, 0, 4, bytes(source), 0, 0, 4, 4, 1, 255);
    EXPECT_EQ(image[1], grey(254, 254));
    // Opacity 0 or no pixels: nothing changes.
    Pixels untouched{grey(255, 7), grey(255, 7), grey(255, 7), grey(255, 7), grey(3, 7)};
    const Pixels before = untouched;
    Pixels over(5, grey(255, 200));
    blendRow(bytes(untouched), bytes(over), 5, 0);
    blendRow(bytes(untouched), bytes(over), 0, 255);
    blendImage(bytes(untouched), 0, 0, 5, bytes(over), 0, 0, 5, 5, 1, 0);
    EXPECT_EQ(untouched, before);
}

TEST(BlitImage, DispatchesByKindModeAndValue) {
    const uint32_t under = grey(255, 100), over = grey(128, 200);
    struct Case {
        int kind, mode, value;
        uint32_t want;
    };
    for (const Case& c :
         {Case{0, 0, 0, over}, Case{0, 1, 0, under}, Case{1, 0, 0, grey(254, 150)},
          Case{1, 1, 200, grey(200, 150)}, Case{1, 1, 255, grey(254, 150)}, Case{1, 2, 0, under},
          Case{1, 3, 255, under}, Case{2, 0, 255, under}, Case{-1, 0, 255, under}}) {
        Pixels dst{under}, src{over};
        blitImage(bytes(dst), 0, 0, 1, bytes(src), 0, 0, 1, 1, 1, c.kind, c.mode, c.value);
        EXPECT_EQ(dst[0], c.want) << c.kind << " " << c.mode << " " << c.value;
    }
    // The capped blend takes the low byte of the cap; a transparent source leaves the pixel.
    Pixels dst{grey(0, 0), grey(255, 1)}, src{grey(255, 90), grey(0, 200)};
    blendImageCapped(bytes(dst), 0, 0, 2, bytes(src), 0, 0, 2, 2, 1, 0x100 + 60);
    EXPECT_EQ(dst, (Pixels{grey(60, 90), grey(255, 1)}));
}

// Only alpha 254 becomes 255; every other byte stays, and the padding past the width (a pitch
// wider than the row) is not touched.
TEST(CleanKey, OnlyNearlyOpaqueAlphaBecomesOpaque) {
    Pixels p = {argb(0, 1, 2, 3),   argb(1, 9, 9, 9),      argb(127, 4, 5, 6),
                argb(253, 7, 8, 9), argb(254, 10, 11, 12), argb(255, 13, 14, 15),
                argb(254, 0, 0, 0), argb(254, 1, 1, 1)};
    FrameBuffer frame(bytes(p), 4 * 4, 3, 2);
    cleanKey(frame);
    EXPECT_EQ(p, (Pixels{argb(0, 1, 2, 3), argb(1, 9, 9, 9), argb(127, 4, 5, 6), argb(253, 7, 8, 9),
                         argb(255, 10, 11, 12), argb(255, 13, 14, 15), argb(255, 0, 0, 0),
                         argb(254, 1, 1, 1)}));
}
