#include "base/ReadableFile.h"
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

Bytes allBytes(const Image& img) {
    return Bytes(img.pixels(), img.pixels() + size_t(img.width()) * size_t(img.height()) * 4);
}

const Bytes kTwelve = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

using Picture = Result<std::unique_ptr<Image>>;

Picture readPath(const std::string& path) {
    return readTgaPicture(MediaFolder::none(), path);
}

class TgaFileTest : public ::testing::Test {
protected:
    Picture read(const Bytes& bytes) { return readPath(write(bytes)); }
    std::string write(const Bytes& bytes) {
        const std::string path = dir_.file("picture" + std::to_string(++files_) + ".tga");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

    test::TempDir dir_{"kavelin-tga"};
    int files_ = 0;
};

} // namespace

TEST_F(TgaFileTest, TwentyFourBitRowsInBothOriginsAndIdFieldSkipped) {
    Picture bottomUp = read(header(2, 2, 2, 24, 0x00) + kTwelve);
    ASSERT_TRUE(bottomUp);
    EXPECT_EQ(allBytes(**bottomUp),
              (Bytes{7, 8, 9, 255, 10, 11, 12, 255, 1, 2, 3, 255, 4, 5, 6, 255}));
    Picture topDown = read(header(2, 2, 2, 24, 0x20, 5) + Bytes(5, 99) + kTwelve);
    ASSERT_TRUE(topDown);
    EXPECT_EQ(allBytes(**topDown),
              (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}));
}

TEST_F(TgaFileTest, UnreadVariantsGiveTransparentPictures) {
    // Depths and origins that are not read give transparent pictures of the header's size.
    for (auto [depth, descriptor] : {std::pair{16, 0x00}, {15, 0x20}, {32, 0x10}, {24, 0x30}}) {
        Picture picture = read(header(2, 4, 3, depth, descriptor) + Bytes(4 * 3 * 4, 0xEE));
        ASSERT_TRUE(picture) << depth;
        EXPECT_EQ(allBytes(**picture), Bytes(4 * 3 * 4, 0)) << depth;
    }
}

// A picture is read whole or not at all, and nothing is allocated for pixels the file does not
// hold: every refusal says why, naming the file.
TEST_F(TgaFileTest, BrokenFilesGiveNoPictureAndAReason) {
    struct Case {
        const char* what;
        Bytes bytes;
        std::string reason;
    };
    const Bytes whole32 = header(2, 5, 4, 32, 0x00) + Bytes(5 * 4 * 4, 7);
    const Bytes whole24 = header(2, 5, 4, 24, 0x20) + Bytes(5 * 4 * 3, 7);
    const Case cases[] = {
        {"empty", {}, "is too short for a TGA header"},
        {"short header", Bytes(10, 2), "is too short for a TGA header"},
        {"32-bit one byte short", Bytes(whole32.begin(), whole32.end() - 1),
         "header claims more than the file holds"},
        {"24-bit one byte short", Bytes(whole24.begin(), whole24.end() - 1),
         "header claims more than the file holds"},
        {"id field not there", header(2, 1, 1, 32, 0, 200) + Bytes(4, 1),
         "header claims more than the file holds"},
        {"65535 x 65535 from 18 bytes", header(2, 65535, 65535, 32, 0),
         "header claims more than the file holds"},
        // Depth 0 still counts a byte a pixel.
        {"depth 0", header(2, 300, 300, 0, 0) + Bytes(100, 0),
         "header claims more than the file holds"},
        {"colour-mapped", header(1, 1, 1, 32, 0) + Bytes(4, 1),
         "is not an uncompressed true-colour TGA file (image type 1)"},
        {"run-length", header(10, 1, 1, 32, 0) + Bytes(4, 1),
         "is not an uncompressed true-colour TGA file (image type 10)"},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.bytes);
        Picture picture = readPath(path);
        EXPECT_EQ(picture ? "a picture" : picture.reason(), path + ": " + c.reason) << c.what;
    }
    EXPECT_EQ(readPath("/nonexistent/kavelin.tga").reason(),
              "/nonexistent/kavelin.tga: No such file or directory");
}

// A file that shrinks after it was opened (and checked) fails while reading: no picture.
TEST_F(TgaFileTest, FileCutWhileReadingFails) {
    for (int depth : {24, 32}) {
        const std::string path = write(header(2, 64, 64, depth, 0) + Bytes(64 * 64 * 4, 9));
        Result<ReadableFile> file = ReadableFile::open(path);
        ASSERT_TRUE(file);
        TgaFile reader(std::move(*file));
        ASSERT_TRUE(reader.readHeader());
        ASSERT_TRUE(reader.checkHeader());
        ASSERT_EQ(::truncate(path.c_str(), 18 + 100), 0);
        Result<std::unique_ptr<Image>> picture = reader.readPicture();
        EXPECT_EQ(picture ? "a picture" : picture.reason(), path + ": is shorter than expected")
            << depth;
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
