#include "image/DrawCursor.h"
#include "image/Image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace kavelin;

namespace {

uint32_t pixel(const Image& img, int x, int y) {
    uint32_t v;
    std::memcpy(&v, img.pixels() + (size_t(y) * size_t(img.width()) + size_t(x)) * 4, 4);
    return v;
}

// An opaque pixel that holds its own coordinates.
uint32_t numbered(int x, int y) {
    return 0xFF000000u | uint32_t(y << 8 | x);
}

// A w x h picture of numbered pixels, or of one value.
Image picture(int w, int h, std::optional<uint32_t> value = {}) {
    Image img;
    EXPECT_TRUE(img.allocate(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t v = value.value_or(numbered(x, y));
            std::memcpy(img.pixels() + (size_t(y) * size_t(w) + size_t(x)) * 4, &v, 4);
        }
    return img;
}

DrawCursor cursorAt(int32_t x, int32_t y, int32_t grow = 0, int32_t kind = 0, int32_t mode = 0,
                    int32_t value = 0) {
    DrawCursor cursor;
    cursor.set(x, y, 0, 0, grow, kind, mode, value);
    return cursor;
}

} // namespace

TEST(Image, AllocateContainsRectAndPixelAt) {
    Image img;
    EXPECT_FALSE(img.containsRect(0, 0, 0, 0));
    EXPECT_EQ(img.pixelAt(0, 0).alpha, 0);
    ASSERT_TRUE(img.allocate(0, 0));
    EXPECT_TRUE(img.containsRect(0, 0, 0, 0));
    // Negative, beyond 2^28 pixels, and sizes whose 32-bit product would overflow.
    const std::pair<int, int> refused[] = {{-1, 5},
                                           {-1, 0},
                                           {INT32_MAX, INT32_MAX},
                                           {65536, 65536},
                                           {(1 << 28) + 1, 1},
                                           {INT32_MIN, INT32_MIN}};
    for (auto [w, h] : refused) {
        ASSERT_TRUE(img.allocate(4, 4));
        EXPECT_FALSE(img.allocate(w, h)) << w << " x " << h;
        EXPECT_TRUE(img.pixels() == nullptr && img.width() == 0 && img.height() == 0);
    }
    ASSERT_TRUE(img.allocate(10, 4));
    EXPECT_EQ(pixel(img, 9, 3), 0u);
    EXPECT_TRUE(img.containsRect(9, 3, 1, 1));
    EXPECT_FALSE(img.containsRect(1, 0, 10, 4) || img.containsRect(0, 0, -1, 1) ||
                 img.containsRect(INT32_MAX, 0, INT32_MAX, 1));
    img = picture(4, 3, 0x80112233); // bytes blue 33, green 22, red 11, alpha 80
    const PixelColour c = img.pixelAt(3, 2);
    EXPECT_EQ(std::tuple(c.red, c.green, c.blue, c.alpha), std::tuple(0x11, 0x22, 0x33, 0x80));
    EXPECT_EQ(img.pixelAt(4, 0).alpha, 0);
}

TEST(Image, DrawWithGrowthMovesOldContent) {
    Image src = picture(10, 10), dst = picture(20, 20, 0);
    std::memset(dst.pixels() + (20 * 20 - 1) * 4, 0xAB, 4);
    ASSERT_TRUE(dst.drawImage(cursorAt(-5, -5, 1), src, 0, 0, 10, 10));
    EXPECT_EQ(std::pair(dst.width(), dst.height()), std::pair(25, 25));
    EXPECT_EQ(pixel(dst, 0, 0), numbered(0, 0));
    EXPECT_EQ(pixel(dst, 9, 9), numbered(9, 9));
    EXPECT_EQ(pixel(dst, 10, 10), 0u);
    EXPECT_EQ(pixel(dst, 24, 24), 0xABABABABu);
    // Growing past the size limit fails and keeps the picture.
    EXPECT_FALSE(dst.drawImage(cursorAt(INT32_MAX - 3, 0, 1), src, 0, 0, 10, 10));
    Point at;
    EXPECT_FALSE(dst.growToInclude(0, 0, 1 << 15, 1 << 14, at)); // 2^29 pixels
    EXPECT_EQ(dst.width(), 25);
    EXPECT_EQ(pixel(dst, 24, 24), 0xABABABABu);
    // A rectangle already inside changes nothing and reports its own place.
    ASSERT_TRUE(dst.growToInclude(1, 2, 2, 2, at));
    EXPECT_EQ(std::tuple(at.x, at.y, dst.width()), std::tuple(1, 2, 25));
}

TEST(Image, DrawWithoutGrowthClipsAndUsesTheDrawSettings) {
    Image src = picture(10, 10), dst = picture(20, 20, 0);
    ASSERT_TRUE(dst.drawImage(cursorAt(-5, -5), src, 0, 0, 10, 10));
    EXPECT_EQ(dst.width(), 20);
    EXPECT_EQ(pixel(dst, 0, 0), numbered(5, 5));
    EXPECT_EQ(pixel(dst, 4, 4), numbered(9, 9));
    EXPECT_EQ(pixel(dst, 5, 5), 0u);
    // Right alignment measures from this picture's right edge.
    DrawCursor right = cursorAt(0, 0);
    right.setPosition(-3, 3, 1, 0);
    Image fresh = picture(20, 20, 0);
    ASSERT_TRUE(fresh.drawImage(right, src, 2, 1, 3, 2));
    EXPECT_EQ(pixel(fresh, 17, 3), numbered(2, 1));
    EXPECT_EQ(pixel(fresh, 19, 4), numbered(4, 2));
    EXPECT_EQ(pixel(fresh, 16, 3), 0u);
    // A region past the source's edge fails and draws nothing; far outside draws nothing.
    ASSERT_TRUE(fresh.allocate(20, 20));
    EXPECT_FALSE(fresh.drawImage(cursorAt(0, 0), src, 1, 0, 10, 10));
    EXPECT_EQ(pixel(fresh, 0, 0), 0u);
    right.setPosition(INT32_MAX, INT32_MIN, 1, 1);
    EXPECT_TRUE(fresh.drawImage(right, src, 0, 0, 10, 10));
    // The cursor's kind, mode and value reach the blend: opaque grey 100 under grey 200 at
    // alpha 128, blended with the alpha capped at 200.
    Image over = picture(1, 1, 0x80C8C8C8), under = picture(1, 1, 0xFF646464);
    ASSERT_TRUE(under.drawImage(cursorAt(0, 0, 0, 1, 1, 200), over, 0, 0, 1, 1));
    EXPECT_EQ(pixel(under, 0, 0), 0xC8969696u);
}
