#include "image/FrameBuffer.h"
#include "image/Image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace kavelin;

namespace {

uint32_t pixel(const Image& img, int x, int y) {
    uint32_t v;
    std::memcpy(&v, img.pixels() + (static_cast<size_t>(y) * img.width() + x) * 4, 4);
    return v;
}

void setPixel(Image& img, int x, int y, uint32_t v) {
    std::memcpy(img.pixels() + (static_cast<size_t>(y) * img.width() + x) * 4, &v, 4);
}

// Every pixel holds its own coordinates, opaque.
void fillNumbered(Image& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            setPixel(img, x, y, 0xFF000000u | static_cast<uint32_t>(y << 8 | x));
}

uint32_t numbered(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(y << 8 | x);
}

} // namespace

TEST(Image, AllocateZeroesAndRefusesBadSizes) {
    Image img;
    EXPECT_EQ(img.pixels(), nullptr);
    ASSERT_TRUE(img.allocate(3, 2));
    EXPECT_EQ(pixel(img, 2, 1), 0u);
    ASSERT_TRUE(img.allocate(0, 0));
    EXPECT_NE(img.pixels(), nullptr);
    EXPECT_TRUE(img.containsRect(0, 0, 0, 0));

    // Negative, beyond 2^28 pixels, and sizes whose 32-bit product would overflow: all fail
    // cleanly without touching memory.
    for (auto [w, h] : {std::pair{-1, 5},
                        {5, -1},
                        {INT32_MAX, INT32_MAX},
                        {65536, 65536},
                        {(1 << 28) + 1, 1},
                        {1 << 14, (1 << 14) + 1},
                        {INT32_MIN, INT32_MIN}}) {
        ASSERT_TRUE(img.allocate(4, 4));
        EXPECT_FALSE(img.allocate(w, h)) << w << " x " << h;
        EXPECT_EQ(img.pixels(), nullptr);
        EXPECT_EQ(img.width(), 0);
        EXPECT_EQ(img.height(), 0);
    }
}

TEST(Image, ContainsRectAndPixelAt) {
    Image img;
    EXPECT_FALSE(img.containsRect(0, 0, 0, 0));
    EXPECT_EQ(img.pixelAt(0, 0).alpha, 0);
    ASSERT_TRUE(img.allocate(10, 4));
    EXPECT_TRUE(img.containsRect(0, 0, 10, 4));
    EXPECT_TRUE(img.containsRect(9, 3, 1, 1));
    EXPECT_FALSE(img.containsRect(1, 0, 10, 4));
    EXPECT_FALSE(img.containsRect(-1, 0, 1, 1));
    EXPECT_FALSE(img.containsRect(0, 0, -1, 1));
    EXPECT_FALSE(img.containsRect(INT32_MAX, 0, INT32_MAX, 1));
    setPixel(img, 3, 2, 0x80112233); // alpha 80, red 11, green 22, blue 33
    const PixelColour c = img.pixelAt(3, 2);
    EXPECT_EQ(c.red, 0x11);
    EXPECT_EQ(c.green, 0x22);
    EXPECT_EQ(c.blue, 0x33);
    EXPECT_EQ(c.alpha, 0x80);
}

TEST(Image, CursorAnchorFollowsAlignment) {
    Image img;
    ASSERT_TRUE(img.allocate(101, 40));
    img.setCursorPosition(0, 0, 2, 2);
    EXPECT_EQ(img.cursorAnchor().x, 50);
    EXPECT_EQ(img.cursorAnchor().y, 20);
    img.setCursorPosition(-100, 5, 1, 1);
    EXPECT_EQ(img.cursorAnchor().x, 1);
    EXPECT_EQ(img.cursorAnchor().y, 45);
    // Unknown alignments count as left/top.
    img.setCursorPosition(7, 8, 3, -1);
    EXPECT_EQ(img.cursorAnchor().x, 7);
    EXPECT_EQ(img.cursorAnchor().y, 8);
    // Near the 32-bit limit the anchor saturates instead of overflowing.
    img.setCursorPosition(INT32_MAX, INT32_MIN, 1, 0);
    EXPECT_EQ(img.cursorAnchor().x, INT32_MAX);
    EXPECT_EQ(img.cursorAnchor().y, INT32_MIN);
}

TEST(Image, SetCursorKeepsLowByteOfGrowToFit) {
    Image img;
    img.setCursor(1, 2, 0, 0, 0x101, 1, 2, 200);
    EXPECT_TRUE(img.growsToFit());
    img.setCursor(1, 2, 0, 0, 2, 1, 2, 200);
    EXPECT_FALSE(img.growsToFit());
    EXPECT_EQ(img.drawValue(), 200);
}

TEST(Image, DrawWithGrowthMovesOldContent) {
    Image src, dst;
    ASSERT_TRUE(src.allocate(10, 10));
    fillNumbered(src);
    ASSERT_TRUE(dst.allocate(20, 20));
    setPixel(dst, 0, 0, 0xFFABCDEF);
    dst.setCursor(-5, -5, 0, 0, 1, 0, 0, 0);
    ASSERT_TRUE(dst.drawImage(&src, 0, 0, 10, 10));
    EXPECT_EQ(dst.width(), 25);
    EXPECT_EQ(dst.height(), 25);
    EXPECT_EQ(pixel(dst, 0, 0), numbered(0, 0));
    EXPECT_EQ(pixel(dst, 9, 9), numbered(9, 9));
    EXPECT_EQ(pixel(dst, 10, 10), 0u);
    EXPECT_EQ(pixel(dst, 5, 5 + 10), 0u);
    // The old top-left pixel now lies at (5, 5), under the drawn source.
    dst.setCursor(0, 0, 0, 0, 0, 0, 0, 0);
    Image check;
    ASSERT_TRUE(check.allocate(20, 20));
    setPixel(check, 0, 0, 0xFFABCDEF);
    Point at;
    ASSERT_TRUE(check.growToInclude(-5, -5, 10, 10, at));
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(pixel(check, 5, 5), 0xFFABCDEFu);
}

TEST(Image, DrawWithoutGrowthClips) {
    Image src, dst;
    ASSERT_TRUE(src.allocate(10, 10));
    fillNumbered(src);
    ASSERT_TRUE(dst.allocate(20, 20));
    dst.setCursor(-5, -5, 0, 0, 0, 0, 0, 0);
    ASSERT_TRUE(dst.drawImage(&src, 0, 0, 10, 10));
    EXPECT_EQ(dst.width(), 20);
    EXPECT_EQ(pixel(dst, 0, 0), numbered(5, 5));
    EXPECT_EQ(pixel(dst, 4, 4), numbered(9, 9));
    EXPECT_EQ(pixel(dst, 5, 5), 0u);

    // A region one pixel past the source's edge fails and draws nothing.
    Image fresh;
    ASSERT_TRUE(fresh.allocate(20, 20));
    EXPECT_FALSE(fresh.drawImage(&src, 1, 0, 10, 10));
    EXPECT_FALSE(fresh.drawImage(nullptr, 0, 0, 1, 1));
    EXPECT_EQ(pixel(fresh, 0, 0), 0u);
    // Far outside, even at the 32-bit limits: nothing drawn, success.
    fresh.setCursorPosition(INT32_MAX, INT32_MIN, 1, 1);
    EXPECT_TRUE(fresh.drawImage(&src, 0, 0, 10, 10));
    // Growing that far exceeds the size limit and fails cleanly.
    fresh.setCursor(INT32_MAX - 3, 0, 0, 0, 1, 0, 0, 0);
    EXPECT_FALSE(fresh.drawImage(&src, 0, 0, 10, 10));
    EXPECT_EQ(fresh.width(), 20);
}

TEST(Image, DrawKindsAndModes) {
    Image src;
    ASSERT_TRUE(src.allocate(1, 1));
    setPixel(src, 0, 0, 0x80C8C8C8); // alpha 128, colour 200
    auto draw = [&](int kind, int mode, int value) {
        Image dst;
        EXPECT_TRUE(dst.allocate(1, 1));
        setPixel(dst, 0, 0, 0xFF646464); // opaque, colour 100
        dst.setCursor(0, 0, 0, 0, 0, kind, mode, value);
        EXPECT_TRUE(dst.drawImage(&src, 0, 0, 1, 1));
        return pixel(dst, 0, 0);
    };
    EXPECT_EQ(draw(0, 0, 0), 0x80C8C8C8u);
    EXPECT_EQ(draw(0, 1, 0), 0xFF646464u);
    EXPECT_EQ(draw(1, 0, 0), 0xFE969696u);
    EXPECT_EQ(draw(1, 1, 200), 0xC8969696u);
    EXPECT_EQ(draw(1, 2, 0), 0xFF646464u);
    EXPECT_EQ(draw(5, 0, 0), 0xFF646464u);
}

TEST(Image, DrawIntoItselfReadsACopy) {
    Image img;
    ASSERT_TRUE(img.allocate(6, 6));
    fillNumbered(img);
    img.setCursor(1, 1, 0, 0, 0, 0, 0, 0); // overlapping rows
    ASSERT_TRUE(img.drawImage(&img, 0, 0, 4, 4));
    EXPECT_EQ(pixel(img, 4, 4), numbered(3, 3));
    EXPECT_EQ(pixel(img, 1, 1), numbered(0, 0));
    img.setCursor(-2, 0, 0, 0, 1, 0, 0, 0); // grows while drawing
    ASSERT_TRUE(img.drawImage(&img, 0, 0, 6, 6));
    EXPECT_EQ(img.width(), 8);
    EXPECT_EQ(pixel(img, 0, 0), numbered(0, 0));
}

TEST(Image, EmptyImagesDrawNothing) {
    Image empty, dst;
    ASSERT_TRUE(empty.allocate(0, 0));
    ASSERT_TRUE(dst.allocate(4, 4));
    EXPECT_TRUE(dst.drawImage(&empty, 0, 0, 0, 0));
    Image src;
    ASSERT_TRUE(src.allocate(2, 2));
    EXPECT_TRUE(empty.drawImage(&src, 0, 0, 2, 2));
    EXPECT_EQ(empty.width(), 0);
}

TEST(Image, CropKeepsTheInsideOrNothing) {
    Image img;
    ASSERT_TRUE(img.allocate(10, 8));
    fillNumbered(img);
    img.setCursor(3, 4, 1, 2, 1, 1, 2, 99);
    ASSERT_TRUE(img.crop(-2, 3, 5, 100));
    EXPECT_EQ(img.width(), 3);
    EXPECT_EQ(img.height(), 5);
    EXPECT_EQ(pixel(img, 0, 0), numbered(0, 3));
    EXPECT_EQ(pixel(img, 2, 4), numbered(2, 7));
    EXPECT_EQ(img.cursorX(), 3); // draw settings untouched
    EXPECT_EQ(img.drawValue(), 99);

    ASSERT_TRUE(img.crop(50, 50, 5, 5));
    EXPECT_EQ(img.width(), 0);
    EXPECT_EQ(img.height(), 0);
    EXPECT_EQ(img.pixels(), nullptr);
    EXPECT_TRUE(img.crop(0, 0, 1, 1));
    EXPECT_TRUE(img.crop(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
}

TEST(Image, GrowToIncludeRefusesOversizeAndKeepsImage) {
    Image img;
    ASSERT_TRUE(img.allocate(4, 4));
    setPixel(img, 1, 1, 7);
    Point at{-9, -9};
    ASSERT_TRUE(img.growToInclude(1, 1, 2, 2, at));
    EXPECT_EQ(at.x, 1);
    EXPECT_EQ(img.width(), 4);
    EXPECT_FALSE(img.growToInclude(INT32_MIN, 0, 1, 1, at));
    EXPECT_FALSE(img.growToInclude(0, 0, 1 << 15, 1 << 14, at)); // 2^29 pixels
    EXPECT_EQ(img.width(), 4);
    EXPECT_EQ(pixel(img, 1, 1), 7u);
    ASSERT_TRUE(img.growToInclude(2, 3, 5, 1, at));
    EXPECT_EQ(img.width(), 7);
    EXPECT_EQ(img.height(), 4);
}

TEST(FrameBuffer, CreateOwnsZeroedPitchedMemory) {
    auto fb = FrameBuffer::create(720, 576);
    ASSERT_NE(fb, nullptr);
    EXPECT_EQ(fb->pitch(), 720 * 4);
    EXPECT_EQ(fb->byteSize(), int64_t{720} * 4 * 576);
    EXPECT_TRUE(fb->ownsPixels());
    EXPECT_EQ(fb->pixels()[fb->byteSize() - 1], 0);
    EXPECT_EQ(FrameBuffer::create(-1, 5), nullptr);
    EXPECT_EQ(FrameBuffer::create(1 << 30, 1), nullptr);
    uint8_t outside[16] = {};
    FrameBuffer view(outside, 8, 2, 2);
    EXPECT_FALSE(view.ownsPixels());
    EXPECT_EQ(view.byteSize(), 16);
}
