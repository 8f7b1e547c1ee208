#include "base/ReadableFile.h"
#include "image/Image.h"
#include "image/PixelExpand.h"
#include "image/TgaFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A file that shrinks after it was opened (and checked) fails while reading, also when it is cut
// in a later staging chunk than the first: no picture.
TEST_F(TgaFileTest, FileCutWhileReadingFails) {
    for (int depth : {24, 32}) {
        const std::string path = write(header(2, 400, 400, depth, 0) + Bytes(400 * 400 * 4, 9));
        Result<ReadableFile> file = ReadableFile::open(path);
        ASSERT_TRUE(file);
        TgaFile reader(std::move(*file));
        ASSERT_TRUE(reader.readHeader());
        ASSERT_TRUE(reader.checkHeader());
        ASSERT_EQ(::truncate(path.c_str(), 18 + 300000), 0);
        Result<std::unique_ptr<Image>> picture = reader.readPicture();
        EXPECT_EQ(picture ? "a picture" : picture.reason(), path + ": is shorter than expected")
            << depth;
    }
}

// Pictures of several 24-bit staging chunks (one row a chunk at the widest) or 32-bit batches of
// scattered rows come out as the file says in both origins, after an id field.
TEST_F(TgaFileTest, PicturesOfManyChunksAndBatchesInBothOrigins) {
    std::mt19937 rng(11);
    for (int depth : {24, 32})
        for (auto [width, height] : {std::pair{1001, 131}, {65535, 3}, {50001, 4}, {3, 300}})
            for (int descriptor : {0x00, 0x20}) {
                const size_t size = depth / 8;
                Bytes body(size_t(width) * size_t(height) * size);
                for (uint8_t& b : body)
                    b = static_cast<uint8_t>(rng());
                Bytes expected;
                for (int row = 0; row < height; ++row) {
                    const int from = descriptor == 0x20 ? row : height - 1 - row;
                    for (int x = 0; x < width; ++x) {
                        const uint8_t* p = &body[(size_t(from) * width + x) * size];
                        expected.insert(expected.end(),
                                        {p[0], p[1], p[2], size == 4 ? p[3] : uint8_t{255}});
                    }
                }
                const std::string what = std::to_string(depth) + "-bit " + std::to_string(width) +
                                         " x " + std::to_string(height) +
                                         (descriptor == 0x20 ? " top-down" : " bottom-up");
                const std::string path =
                    write(header(2, width, height, depth, descriptor, 3) + Bytes(3, 0xAB) + body);
                Picture picture = readPath(path);
                ASSERT_TRUE(picture) << what;
                EXPECT_TRUE(allBytes(**picture) == expected) << what;
            }
}

// Every version this processor runs, and the one chosen, against a bytewise reference: every
// short count and long ones, sources ending where a page that may not be read begins (so at any
// alignment), destinations at any offset from a cache line, pixel-aligned or not. Not one byte
// past the source is read, not one byte outside the pixels written.
TEST(Expand24, EveryVersionMatchesBytewiseReferenceAndStaysInItsBytes) {
    std::vector<std::pair<const char*, void (*)(uint8_t*, const uint8_t*, int64_t)>> versions = {
        {"scalar", expand24Scalar}, {"chosen", expand24}};
    if (__builtin_cpu_supports("avx2"))
        versions.emplace_back("avx2", expand24Avx2);
    if (avx512ExpandSupported())
        versions.emplace_back("avx512", expand24Avx512);
    std::vector<std::pair<int, int>> cases; // pixels, destination offset
    for (int n = 0; n <= 70; ++n)
        cases.emplace_back(n, 4 * (n % 16));
    for (int n : {1000, 4099})
        for (int dstAt : {0, 4, 20, 60, 1, 3})
            cases.emplace_back(n, dstAt);
    const size_t page = size_t(::sysconf(_SC_PAGESIZE)), span = 4 * page;
    auto* guarded = static_cast<uint8_t*>(
        ::mmap(nullptr, span + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(guarded, MAP_FAILED);
    ASSERT_EQ(::mprotect(guarded + span, page, PROT_NONE), 0);
    std::mt19937 rng(5);
    struct alignas(64) Line {
        uint8_t b[64];
    };
    std::vector<Line> lines(4099 / 16 + 3);
    auto* out = reinterpret_cast<uint8_t*>(lines.data());
    for (auto [n, dstAt] : cases) {
        const uint8_t* src = guarded + span - 3 * n;
        std::generate(guarded + span - 3 * n, guarded + span, [&] { return uint8_t(rng()); });
        Bytes ref(lines.size() * 64, 0x55);
        for (int i = 0; i < n; ++i)
            std::copy(src + 3 * i, src + 3 * i + 3, &ref[dstAt + 4 * i]),
                ref[dstAt + 4 * i + 3] = 255;
        for (auto [name, expand] : versions) {
            std::memset(out, 0x55, ref.size());
            expand(out + dstAt, src, n);
            ASSERT_TRUE(Bytes(out, out + ref.size()) == ref) << n << " at " << dstAt << " " << name;
        }
    }
    ::munmap(guarded, span + page);
}
