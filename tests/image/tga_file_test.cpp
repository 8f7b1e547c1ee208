#include "image/Image.h"
#include "image/TgaFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kavelin;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes header(int type, int width, int height, int depth, int descriptor, int idLength = 0) {
    Bytes h(18, 0);
    h[0] = static_cast<uint8_t>(idLength);
    h[2] = static_cast<uint8_t>(type);
    h[12] = static_cast<uint8_t>(width & 0xFF);
    h[13] = static_cast<uint8_t>(width >> 8);
    h[14] = static_cast<uint8_t>(height & 0xFF);
    h[15] = static_cast<uint8_t>(height >> 8);
    h[16] = static_cast<uint8_t>(depth);
    h[17] = static_cast<uint8_t>(descriptor);
    return h;
}

class TgaFileTest : public ::testing::Test {
protected:
    std::string write(const Bytes& bytes) {
        path_ = ::testing::TempDir() + "kavelin_tga_" + std::to_string(::getpid()) + ".tga";
        FILE* f = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path_;
    }
    void TearDown() override {
        if (!path_.empty())
            std::remove(path_.c_str());
    }

    // open, readHeader, allocate, readPixels; returns the readPixels result.
    bool load(const Bytes& bytes, Image& img, TgaInfo& info) {
        TgaFile tga;
        EXPECT_TRUE(tga.open(write(bytes).c_str()));
        EXPECT_TRUE(tga.readHeader(info));
        EXPECT_TRUE(img.allocate(info.width, info.height));
        return tga.readPixels(img);
    }

    std::string path_;
};

std::vector<uint8_t> pixelBytes(const Image& img, int x, int y) {
    const uint8_t* p = img.pixels() + (static_cast<size_t>(y) * img.width() + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

const Bytes kTwelve = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

} // namespace

TEST_F(TgaFileTest, BottomLeft24BitFlipsRows) {
    Bytes file = header(2, 2, 2, 24, 0x00);
    file.insert(file.end(), kTwelve.begin(), kTwelve.end());
    Image img;
    TgaInfo info;
    ASSERT_TRUE(load(file, img, info));
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(info.bitsPerPixel, 24);
    EXPECT_EQ(pixelBytes(img, 0, 0), (std::vector<uint8_t>{7, 8, 9, 255}));
    EXPECT_EQ(pixelBytes(img, 1, 0), (std::vector<uint8_t>{10, 11, 12, 255}));
    EXPECT_EQ(pixelBytes(img, 0, 1), (std::vector<uint8_t>{1, 2, 3, 255}));
    EXPECT_EQ(pixelBytes(img, 1, 1), (std::vector<uint8_t>{4, 5, 6, 255}));
}

TEST_F(TgaFileTest, TopLeft24BitAndIdFieldSkipped) {
    Bytes file = header(2, 2, 2, 24, 0x20, 5);
    file.insert(file.end(), {99, 99, 99, 99, 99});
    file.insert(file.end(), kTwelve.begin(), kTwelve.end());
    Image img;
    TgaInfo info;
    ASSERT_TRUE(load(file, img, info));
    EXPECT_EQ(pixelBytes(img, 0, 0), (std::vector<uint8_t>{1, 2, 3, 255}));
    EXPECT_EQ(pixelBytes(img, 1, 0), (std::vector<uint8_t>{4, 5, 6, 255}));
    EXPECT_EQ(pixelBytes(img, 1, 1), (std::vector<uint8_t>{10, 11, 12, 255}));
}

TEST_F(TgaFileTest, ThirtyTwoBitKeepsAlphaInBothOrigins) {
    // 3 x 300 rows: more rows than one scatter batch.
    const int w = 3, h = 300;
    Bytes pixels;
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x)
            pixels.insert(pixels.end(), {static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8),
                                         static_cast<uint8_t>(x), static_cast<uint8_t>(x * 40)});
    for (int descriptor : {0x00, 0x20 | 0x08}) {
        Bytes file = header(2, w, h, 32, descriptor);
        file.insert(file.end(), pixels.begin(), pixels.end());
        Image img;
        TgaInfo info;
        ASSERT_TRUE(load(file, img, info));
        for (int y : {0, 1, 255, 256, 299}) {
            const int fileRow = descriptor == 0 ? h - 1 - y : y;
            EXPECT_EQ(pixelBytes(img, 2, y),
                      (std::vector<uint8_t>{static_cast<uint8_t>(fileRow),
                                            static_cast<uint8_t>(fileRow >> 8), 2, 80}))
                << descriptor << " row " << y;
        }
    }
}

TEST_F(TgaFileTest, UnreadVariantsGiveTransparentPictures) {
    for (auto [depth, descriptor] : {std::pair{16, 0x00}, {15, 0x20}, {32, 0x10}, {24, 0x30}}) {
        Bytes file = header(2, 4, 3, depth, descriptor);
        file.resize(file.size() + 4 * 3 * 4, 0xEE);
        Image img;
        TgaInfo info;
        ASSERT_TRUE(load(file, img, info)) << depth;
        EXPECT_EQ(img.width(), 4);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(pixelBytes(img, x, y), (std::vector<uint8_t>{0, 0, 0, 0}));
    }
}

TEST_F(TgaFileTest, OtherTypesAndShortFilesFail) {
    for (int type : {0, 1, 3, 9, 10, 11}) {
        Bytes file = header(type, 1, 1, 32, 0);
        file.resize(file.size() + 4, 1);
        Image img;
        TgaInfo info;
        EXPECT_FALSE(load(file, img, info)) << type;
    }
    TgaFile tga;
    TgaInfo info;
    ASSERT_TRUE(tga.open(write(Bytes(10, 2)).c_str()));
    EXPECT_FALSE(tga.readHeader(info));
    ASSERT_TRUE(tga.open(write(Bytes()).c_str()));
    EXPECT_FALSE(tga.readHeader(info));
    EXPECT_FALSE(tga.open("/nonexistent/kavelin.tga"));
    EXPECT_FALSE(tga.readHeader(info));
}

TEST_F(TgaFileTest, ReadPixelsNeedsHeaderAndMatchingImage) {
    Bytes file = header(2, 2, 2, 24, 0x20);
    file.insert(file.end(), kTwelve.begin(), kTwelve.end());
    TgaFile tga;
    Image img;
    ASSERT_TRUE(img.allocate(2, 2));
    EXPECT_FALSE(tga.readPixels(img)); // nothing open
    ASSERT_TRUE(tga.open(write(file).c_str()));
    EXPECT_FALSE(tga.readPixels(img)); // no header yet
    TgaInfo info;
    ASSERT_TRUE(tga.readHeader(info));
    Image small;
    ASSERT_TRUE(small.allocate(1, 2));
    EXPECT_FALSE(tga.readPixels(small));
    EXPECT_TRUE(tga.readPixels(img));
    tga.close();
    EXPECT_FALSE(tga.readPixels(img));
}

TEST_F(TgaFileTest, TruncatedPixelDataKeepsRowsRead) {
    for (int depth : {24, 32}) {
        const int bpp = depth / 8, w = 5, h = 4;
        Bytes file = header(2, w, h, depth, 0x00);
        for (int i = 0; i < w * h * bpp - 1; ++i) // one byte short of the last row
            file.push_back(static_cast<uint8_t>(1 + i / (w * bpp)));
        Image img;
        TgaInfo info;
        EXPECT_FALSE(load(file, img, info)) << depth;
        // File rows 1..3 are whole; the last file row is the Image's top row.
        for (int y = 1; y < h; ++y)
            EXPECT_EQ(pixelBytes(img, 0, y)[0], h - y) << depth << " row " << y;
        if (depth == 24) { // every whole pixel before the cut arrived
            EXPECT_EQ(pixelBytes(img, 3, 0), (std::vector<uint8_t>{4, 4, 4, 255}));
            EXPECT_EQ(pixelBytes(img, 4, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
        }
    }
}

TEST_F(TgaFileTest, HugeHeaderIsRefusedByTheAllocation) {
    TgaFile tga;
    ASSERT_TRUE(tga.open(write(header(2, 65535, 65535, 32, 0)).c_str()));
    TgaInfo info;
    ASSERT_TRUE(tga.readHeader(info));
    EXPECT_EQ(info.width, 65535);
    Image img;
    EXPECT_FALSE(img.allocate(info.width, info.height));
    EXPECT_FALSE(tga.readPixels(img));
}

#include "image/PixelExpand.h"

#include <random>

TEST(Expand24, EveryLengthMatchesBytewiseReference) {
    std::mt19937 rng(5);
    std::vector<uint8_t> src(67 * 3 + 1), out(67 * 4 + 4), ref(67 * 4 + 4);
    for (int n = 0; n <= 67; ++n)
        for (bool avx2 : {false, true}) {
            if (avx2 && !__builtin_cpu_supports("avx2"))
                continue;
            for (auto& b : src)
                b = static_cast<uint8_t>(rng());
            std::fill(out.begin(), out.end(), 0x55);
            std::fill(ref.begin(), ref.end(), 0x55);
            for (int i = 0; i < n; ++i) {
                std::memcpy(&ref[4 * i], &src[1 + 3 * i], 3);
                ref[4 * i + 3] = 255;
            }
            // Source one byte off alignment; exactly 3 * n readable bytes matter.
            (avx2 ? expand24Avx2 : expand24)(out.data(), src.data() + 1, n);
            ASSERT_EQ(out, ref) << n << (avx2 ? " avx2" : "");
        }
}
