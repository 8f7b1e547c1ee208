#include "image/Image.h"
#include "image/PixelExpand.h"
#include "image/TgaFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

using namespace kavelin;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes header(int type, int width, int height, int depth, int descriptor, int idLength = 0) {
    Bytes h(18, 0);
    h[0] = uint8_t(idLength), h[2] = uint8_t(type), h[16] = uint8_t(depth);
    h[12] = uint8_t(width), h[13] = uint8_t(width >> 8), h[17] = uint8_t(descriptor);
    h[14] = uint8_t(height), h[15] = uint8_t(height >> 8);
    return h;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes pixelBytes(const Image& img, int x, int y) {
    const uint8_t* p = img.pixels() + (size_t(y) * size_t(img.width()) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}

Bytes allBytes(const Image& img) {
    return Bytes(img.pixels(), img.pixels() + size_t(img.width()) * size_t(img.height()) * 4);
}

const Bytes kTwelve = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

class TgaFileTest : public ::testing::Test {
protected:
    TgaPicture read(const Bytes& bytes) {
        const std::string path = dir_.file("picture" + std::to_string(++files_) + ".tga");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return readTgaPicture(path.c_str());
    }

    test::TempDir dir_{"kavelin-tga"};
    int files_ = 0;
};

} // namespace

TEST_F(TgaFileTest, TwentyFourBitRowsInBothOriginsAndIdFieldSkipped) {
    TgaPicture bottomUp = read(header(2, 2, 2, 24, 0x00) + kTwelve);
    ASSERT_TRUE(bottomUp.complete);
    EXPECT_EQ(allBytes(*bottomUp.image),
              (Bytes{7, 8, 9, 255, 10, 11, 12, 255, 1, 2, 3, 255, 4, 5, 6, 255}));
    TgaPicture topDown = read(header(2, 2, 2, 24, 0x20, 5) + Bytes(5, 99) + kTwelve);
    ASSERT_TRUE(topDown.complete);
    EXPECT_EQ(allBytes(*topDown.image),
              (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}));
}

TEST_F(TgaFileTest, UnreadVariantsAndBrokenFiles) {
    // Depths and origins that are not read give transparent pictures of the header's size.
    for (auto [depth, descriptor] : {std::pair{16, 0x00}, {15, 0x20}, {32, 0x10}, {24, 0x30}}) {
        TgaPicture picture = read(header(2, 4, 3, depth, descriptor) + Bytes(4 * 3 * 4, 0xEE));
        ASSERT_TRUE(picture.complete) << depth;
        EXPECT_EQ(allBytes(*picture.image), Bytes(4 * 3 * 4, 0)) << depth;
    }
    // Other image types: a picture of the header's size that is not complete.
    for (int type : {0, 1, 3, 9, 10, 11}) {
        TgaPicture picture = read(header(type, 1, 1, 32, 0) + Bytes(4, 1));
        ASSERT_NE(picture.image, nullptr) << type;
        EXPECT_FALSE(picture.complete) << type;
    }
    // No file, a short header, an empty file, a size beyond the Image limit: no picture.
    EXPECT_EQ(readTgaPicture("/nonexistent/kavelin.tga").image, nullptr);
    EXPECT_EQ(read(Bytes(10, 2)).image, nullptr);
    EXPECT_EQ(read(Bytes()).image, nullptr);
    EXPECT_EQ(read(header(2, 65535, 65535, 32, 0)).image, nullptr);
}

TEST_F(TgaFileTest, TruncatedPixelDataKeepsWhatWasRead) {
    for (int depth : {24, 32}) {
        const int bpp = depth / 8, w = 5, h = 4;
        Bytes file = header(2, w, h, depth, 0x00);
        for (int i = 0; i < w * h * bpp - 1; ++i) // one byte short of the last row
            file.push_back(static_cast<uint8_t>(1 + i / (w * bpp)));
        TgaPicture picture = read(file);
        ASSERT_TRUE(picture.image && !picture.complete) << depth;
        // File rows 1..3 are whole; the last file row is the Image's top row.
        for (int y = 1; y < h; ++y)
            EXPECT_EQ(pixelBytes(*picture.image, 0, y)[0], h - y) << depth << " row " << y;
        if (depth == 24) { // every whole pixel before the cut arrived
            EXPECT_EQ(pixelBytes(*picture.image, 3, 0), (Bytes{4, 4, 4, 255}));
            EXPECT_EQ(pixelBytes(*picture.image, 4, 0), (Bytes{0, 0, 0, 0}));
        }
    }
}

// The source ends where a page that may not be read begins: not one byte past it is read.
TEST(Expand24, EveryLengthMatchesBytewiseReferenceAndReadsNothingPastTheSource) {
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    auto* guarded = static_cast<uint8_t*>(
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(guarded, MAP_FAILED);
    ASSERT_EQ(::mprotect(guarded + page, page, PROT_NONE), 0);
    std::mt19937 rng(5);
    std::vector<uint8_t> out(67 * 4 + 4), ref(67 * 4 + 4);
    for (int n = 0; n <= 67; ++n)
        for (bool avx2 : {false, true}) {
            if (avx2 && !__builtin_cpu_supports("avx2"))
                continue;
            uint8_t* src = guarded + page - 3 * n;
            for (int i = 0; i < 3 * n; ++i)
                src[i] = static_cast<uint8_t>(rng());
            out.assign(out.size(), 0x55);
            ref.assign(ref.size(), 0x55);
            for (int i = 0; i < n; ++i)
                ref[4 * i] = src[3 * i], ref[4 * i + 1] = src[3 * i + 1],
                        ref[4 * i + 2] = src[3 * i + 2], ref[4 * i + 3] = 255;
            (avx2 ? expand24Avx2 : expand24)(out.data(), src, n);
            ASSERT_EQ(out, ref) << n << (avx2 ? " avx2" : "");
        }
    ::munmap(guarded, 2 * page);
}
