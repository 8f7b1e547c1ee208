#include "image/FrameBuffer.h"
#include "image/PixelRoutines.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

using namespace kavelin;

namespace {

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

uint32_t grey(uint32_t a, uint32_t c) {
    return argb(a, c, c, c);
}

struct Row {
    std::vector<uint32_t> px;
    explicit Row(std::vector<uint32_t> p) : px(std::move(p)) {}
    uint8_t* bytes() { return reinterpret_cast<uint8_t*>(px.data()); }
    int32_t count() const { return static_cast<int32_t>(px.size()); }
};

} // namespace

TEST(ReciprocalTable, MatchesDefinition) {
    EXPECT_EQ(kReciprocal[0], 65535);
    EXPECT_EQ(kReciprocal[1], 65535);
    EXPECT_EQ(kReciprocal[2], 32767);
    EXPECT_EQ(kReciprocal[255], 257);
    for (int x = 1; x < 256; ++x)
        EXPECT_EQ(kReciprocal[x], 65535 / x) << x;
}

TEST(BlendRow, SingleAndFourPixelFormsDiffer) {
    // Opaque white over opaque black at 255: one pixel alone takes the single form.
    Row dst({grey(255, 0)}), src({grey(255, 255)});
    blendRow(dst.bytes(), src.bytes(), 1, 255);
    EXPECT_EQ(dst.px[0], grey(254, 255));

    Row dst4(std::vector<uint32_t>(4, grey(255, 0))),
        src4(std::vector<uint32_t>(4, grey(255, 255)));
    blendRow(dst4.bytes(), src4.bytes(), 4, 255);
    for (uint32_t p : dst4.px)
        EXPECT_EQ(p, grey(254, 254));

    // Half-transparent source: 150 by division, 149 by the reciprocal.
    Row d1({grey(255, 100)}), s1({grey(128, 200)});
    blendRow(d1.bytes(), s1.bytes(), 1, 255);
    EXPECT_EQ(d1.px[0], grey(254, 150));
    Row d4(std::vector<uint32_t>(4, grey(255, 100))), s4(std::vector<uint32_t>(4, grey(128, 200)));
    blendRow(d4.bytes(), s4.bytes(), 4, 255);
    EXPECT_EQ(d4.px[3], grey(254, 149));
}

TEST(BlendRow, GroupingDecidesTheFormPerPosition) {
    // Six pixels: one group of four, then two single-form pixels.
    Row dst(std::vector<uint32_t>(6, grey(255, 100))),
        src(std::vector<uint32_t>(6, grey(128, 200)));
    blendRow(dst.bytes(), src.bytes(), 6, 255);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dst.px[i], grey(254, 149)) << i;
    EXPECT_EQ(dst.px[4], grey(254, 150));
    EXPECT_EQ(dst.px[5], grey(254, 150));
}

TEST(BlendRow, TransparentPixelsInAVisibleGroupStillChange) {
    Row dst(std::vector<uint32_t>(4, grey(255, 50)));
    Row src({grey(255, 255), 0, 0, 0});
    blendRow(dst.bytes(), src.bytes(), 4, 255);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(dst.px[i], grey(254, 49)) << i;

    // A group whose four a values are all 0 is left alone (opacity 1 makes every a 0).
    Row same(std::vector<uint32_t>(4, grey(255, 50)));
    blendRow(same.bytes(), src.bytes(), 4, 1);
    for (uint32_t p : same.px)
        EXPECT_EQ(p, grey(255, 50));
}

TEST(BlendRow, TransparentDestinationRuleOnlyInBlendRow) {
    const std::vector<uint32_t> source = {argb(255, 255, 10, 200), argb(255, 255, 255, 255),
                                          argb(0, 9, 9, 9), argb(100, 1, 2, 3)};
    Row src(source);
    Row row(std::vector<uint32_t>(4, 0));
    blendRow(row.bytes(), src.bytes(), 4, 255);
    EXPECT_EQ(row.px[0], argb(254, 255, 10, 200));
    EXPECT_EQ(row.px[2], argb(0, 9, 9, 9));
    EXPECT_EQ(row.px[3], argb(99, 1, 2, 3));

    Row image(std::vector<uint32_t>(4, 0));
    blendImage(image.bytes(), 0, 0, 4, src.bytes(), 0, 0, 4, 4, 1, 255);
    EXPECT_EQ(image.px[1], grey(254, 254));
}

TEST(BlendRow, ZeroOpacityOrCountChangesNothing) {
    Row dst({grey(255, 7), grey(255, 7), grey(255, 7), grey(255, 7), grey(3, 7)});
    const auto before = dst.px;
    Row src(std::vector<uint32_t>(5, grey(255, 200)));
    blendRow(dst.bytes(), src.bytes(), 5, 0);
    blendRow(dst.bytes(), src.bytes(), 0, 255);
    blendImage(dst.bytes(), 0, 0, 5, src.bytes(), 0, 0, 5, 5, 1, 0);
    EXPECT_EQ(dst.px, before);
}

TEST(BlendImageCapped, CapsTheResultingAlpha) {
    Row dst({grey(255, 100)}), src({grey(128, 200)});
    blendImageCapped(dst.bytes(), 0, 0, 1, src.bytes(), 0, 0, 1, 1, 1, 200);
    EXPECT_EQ(dst.px[0], grey(200, 150));
    Row dst2({grey(255, 100)});
    blendImageCapped(dst2.bytes(), 0, 0, 1, src.bytes(), 0, 0, 1, 1, 1, 255);
    EXPECT_EQ(dst2.px[0], grey(254, 150));
    // Only the low byte of the cap counts; a transparent source leaves the destination.
    Row dst3({grey(0, 0), grey(255, 1)}), src3({grey(255, 90), grey(0, 200)});
    blendImageCapped(dst3.bytes(), 0, 0, 2, src3.bytes(), 0, 0, 2, 2, 1, 0x100 + 60);
    EXPECT_EQ(dst3.px[0], grey(60, 90));
    EXPECT_EQ(dst3.px[1], grey(255, 1));
}

TEST(BlitImage, DispatchesByKindAndMode) {
    const uint32_t under = grey(255, 100), over = grey(128, 200);
    auto run = [&](int kind, int mode, int value) {
        Row dst({under}), src({over});
        blitImage(dst.bytes(), 0, 0, 1, src.bytes(), 0, 0, 1, 1, 1, kind, mode, value);
        return dst.px[0];
    };
    EXPECT_EQ(run(0, 0, 0), over);
    EXPECT_EQ(run(0, 1, 0), under);
    EXPECT_EQ(run(0, 2, 0), under);
    EXPECT_EQ(run(1, 0, 0), grey(254, 150));
    EXPECT_EQ(run(1, 1, 200), grey(200, 150));
    EXPECT_EQ(run(1, 2, 0), under);
    EXPECT_EQ(run(1, 3, 255), under);
    EXPECT_EQ(run(2, 0, 255), under);
    EXPECT_EQ(run(-1, 0, 255), under);
}

TEST(ClipRect, ClipsEachAxis) {
    ClippedRect r = clipRect(-10, 5, 30, 20, 15, 15);
    EXPECT_EQ(r.srcX, 10);
    EXPECT_EQ(r.srcY, 0);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 5);
    EXPECT_EQ(r.w, 15);
    EXPECT_EQ(r.h, 10);

    r = clipRect(20, -3, 5, 2, 15, 15); // right of and above the bounds
    EXPECT_LE(r.w, 0);
    EXPECT_LE(r.h, 0);
}

TEST(ClipRect, ExtremeValuesGiveEmptyResults) {
    for (int32_t x : {INT32_MIN, INT32_MIN + 1, -1, INT32_MAX - 1, INT32_MAX})
        for (int32_t w : {INT32_MIN, -1, 0, 1, INT32_MAX}) {
            const ClippedRect r = clipRect(x, x, w, w, 720, 576);
            if (r.w > 0) {
                EXPECT_GE(r.x, 0);
                EXPECT_LE(int64_t{r.x} + r.w, 720);
            }
        }
    const ClippedRect r = clipRect(INT32_MIN, 0, INT32_MAX, 10, 720, 576);
    EXPECT_LE(r.w, 0);
    const ClippedRect whole = clipRect(-5, -5, INT32_MAX, INT32_MAX, 720, 576);
    EXPECT_EQ(whole.w, 720);
    EXPECT_EQ(whole.h, 576);
    EXPECT_EQ(whole.srcX, 5);
}

namespace {

// A frame whose row y is filled with the value y + 1.
std::vector<uint32_t> numberedRows(int w, int h) {
    std::vector<uint32_t> v(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            v[static_cast<size_t>(y) * w + x] = static_cast<uint32_t>(y + 1);
    return v;
}

int copiedRows(const std::vector<uint32_t>& dst, int w, int h, std::vector<int>* rows = nullptr) {
    int n = 0;
    for (int y = 0; y < h; ++y)
        if (dst[static_cast<size_t>(y) * w] != 0) {
            ++n;
            if (rows)
                rows->push_back(y);
        }
    return n;
}

} // namespace

TEST(CopyRect, FieldFormCopiesEverySecondRow) {
    auto src = numberedRows(8, 10);
    for (auto [h, expected] : {std::pair{5, 3}, {1, 1}, {2, 1}, {0, 0}, {10, 5}}) {
        std::vector<uint32_t> dst(80, 0);
        copyRectField(reinterpret_cast<uint8_t*>(dst.data()), 32, 0, 0,
                      reinterpret_cast<const uint8_t*>(src.data()), 32, 0, 0, 8, h);
        std::vector<int> rows;
        EXPECT_EQ(copiedRows(dst, 8, 10, &rows), expected) << h;
        for (int y : rows)
            EXPECT_EQ(y % 2, 0);
    }
    std::vector<uint32_t> dst(80, 0);
    copyRect(reinterpret_cast<uint8_t*>(dst.data()), 32, 2, 1,
             reinterpret_cast<const uint8_t*>(src.data()), 32, 1, 3, 3, 2);
    EXPECT_EQ(dst[1 * 8 + 2], 4u);
    EXPECT_EQ(dst[2 * 8 + 4], 5u);
    EXPECT_EQ(dst[2 * 8 + 5], 0u);
    EXPECT_EQ(copiedRows(dst, 8, 10), 0); // column 0 untouched
}

TEST(CopyFrame, FieldSelectsRowParity) {
    constexpr int W = 720, H = 576;
    auto bg = numberedRows(W, H);
    FrameBuffer source(reinterpret_cast<uint8_t*>(bg.data()), W * 4, W, H);
    for (int field : {0, 1, 2}) {
        // A pitch wider than the row, as an output surface may have.
        std::vector<uint32_t> out(static_cast<size_t>(W + 16) * H, 0);
        FrameBuffer target(reinterpret_cast<uint8_t*>(out.data()), (W + 16) * 4, W, H);
        copyFrame(target, 0, 0, source, 0, 0, W, H, field);
        std::vector<int> rows;
        EXPECT_EQ(copiedRows(out, W + 16, H, &rows), field == 2 ? H : H / 2);
        for (int y : rows) {
            if (field != 2) {
                EXPECT_EQ(y % 2, field);
            }
            EXPECT_EQ(out[static_cast<size_t>(y) * (W + 16) + W - 1], static_cast<uint32_t>(y + 1));
            EXPECT_EQ(out[static_cast<size_t>(y) * (W + 16) + W], 0u);
        }
    }
}

TEST(BlendRect, FieldFormAndPitchAddressing) {
    std::vector<uint32_t> dst(6 * 5, grey(255, 0)), src(4 * 5, grey(255, 255));
    blendRectField(reinterpret_cast<uint8_t*>(dst.data()), 24, 1, 0,
                   reinterpret_cast<const uint8_t*>(src.data()), 16, 0, 0, 4, 5, 255);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool drawn = y % 2 == 0 && x >= 1 && x <= 4;
            EXPECT_EQ(dst[y * 6 + x], drawn ? grey(254, 254) : grey(255, 0)) << x << "," << y;
        }
    std::vector<uint32_t> full(6 * 5, grey(255, 0));
    blendRect(reinterpret_cast<uint8_t*>(full.data()), 24, 0, 1,
              reinterpret_cast<const uint8_t*>(src.data()), 16, 0, 0, 3, 2, 255);
    EXPECT_EQ(full[1 * 6 + 0], grey(254, 255));
    EXPECT_EQ(full[2 * 6 + 2], grey(254, 255));
    EXPECT_EQ(full[3 * 6 + 0], grey(255, 0));
}
