#include "image/FrameBuffer.h"
#include "image/PngFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

using namespace kavelin;

// The frame's bytes are blue, green, red, alpha; the file must hold red, green, blue, alpha,
// with alpha straight, and rows taken at the frame's pitch.
TEST(PngFile, WritesRgbaInFileOrderAtThePitch) {
    constexpr int kWidth = 3, kHeight = 2, kPitch = kWidth * 4 + 8;
    std::vector<uint8_t> memory(kPitch * kHeight, 0xEE); // the padding must not show
    std::vector<uint8_t> expected; // pixel i: blue 16i + 1, green + 2, red + 3, alpha + 4
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const uint8_t n = uint8_t(16 * i),
                      bgra[] = {uint8_t(n + 1), uint8_t(n + 2), uint8_t(n + 3), uint8_t(n + 4)};
        std::memcpy(memory.data() + i / kWidth * kPitch + i % kWidth * 4, bgra, 4);
        expected.insert(expected.end(), {bgra[2], bgra[1], bgra[0], bgra[3]});
    }
    FrameBuffer frame(memory.data(), kPitch, kWidth, kHeight);
    test::TempDir dir("kavelin-png");
    const std::string path = dir.file("frame.png");
    ASSERT_TRUE(writePng(frame, path));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    EXPECT_EQ(std::tuple(image.width, image.height, image.format),
              std::tuple(png_uint_32(kWidth), png_uint_32(kHeight), png_uint_32(PNG_FORMAT_RGBA)));
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) << image.message;
    EXPECT_EQ(rgba, expected); // alpha straight, never 0 or 255, so that no colour may be dropped

    EXPECT_FALSE(writePng(frame, dir.file("missing/frame.png")));
    FrameBuffer empty(memory.data(), kPitch, 0, kHeight);
    EXPECT_FALSE(writePng(empty, dir.file("empty.png")));
}
