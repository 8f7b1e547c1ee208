// Passing over what a row's span says cannot change a pixel gives blendRow's bytes; the spans
// are measured when a picture is shown and forgotten when its pixels are handed out for writing.

#include "image/CoveredRow.h"
#include "image/Image.h"
#include "image/PixelRoutines.h"
#include "image/RowCoverage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace kavelin;

namespace {

// A row with alpha 0 outside [from, to), opaque or random alpha inside (never 0 at the ends).
std::vector<uint32_t> rowWithSpan(std::mt19937& rng, int32_t n, int32_t from, int32_t to,
                                  bool opaque) {
    std::vector<uint32_t> row(static_cast<size_t>(n));
    for (int32_t x = 0; x < n; ++x) {
        uint32_t v = static_cast<uint32_t>(rng());
        if (x < from || x >= to)
            v &= 0x00FFFFFFu;
        else if (opaque || x == from || x == to - 1)
            v |= 0xFF000000u;
        row[size_t(x)] = v;
    }
    return row;
}

} // namespace

TEST(CoveredRowTest, SkippingGivesBlendRowsBytesForEverySpanOffsetAndOpacity) {
    std::mt19937 rng(7);
    for (int32_t n = 1; n <= 41; ++n)
        for (int trial = 0; trial < 40; ++trial) {
            const int32_t from = static_cast<int32_t>(rng() % (n + 1));
            const int32_t to = from + static_cast<int32_t>(rng() % (n - from + 1));
            const bool opaque = trial % 2 == 0;
            const std::vector<uint32_t> image = rowWithSpan(rng, n, from, to, opaque);
            const RowSpan span = measureRow(reinterpret_cast<const uint8_t*>(image.data()), n);
            ASSERT_EQ(std::tuple(span.first, span.end + 0, span.opaque + 0),
                      std::tuple(uint32_t(from < to ? from : n), uint32_t(from < to ? to : n),
                                 int(from < to && (opaque || to - from <= 2))))
                << n << " pixels, span " << from << ".." << to;
            // Drawn from any place in the row, over destinations whose alphas are all 0 (the
            // transparent-destination rule) or random.
            const int32_t sx = static_cast<int32_t>(rng() % n);
            const int32_t count = n - sx;
            std::vector<uint32_t> dst(static_cast<size_t>(count)), expected;
            for (auto& d : dst)
                d = static_cast<uint32_t>(rng()) & (trial % 3 == 0 ? 0x00FFFFFFu : ~0u);
            for (int32_t opacity : {255, 254, 200, 1}) {
                expected = dst;
                std::vector<uint32_t> got = dst;
                const auto* src = reinterpret_cast<const uint8_t*>(image.data() + sx);
                blendRow(reinterpret_cast<uint8_t*>(expected.data()), src, count, opacity);
                blendCoveredRow(reinterpret_cast<uint8_t*>(got.data()), src, count, opacity,
                                int64_t{span.first} - sx, int64_t{span.end} - sx, span.opaque);
                ASSERT_EQ(got, expected) << n << " pixels from " << sx << ", span " << from << ".."
                                         << to << ", opacity " << opacity;
            }
        }
}

TEST(CoveredRowTest, PicturesKeepTheirSpansUntilTheirPixelsAreHandedOutForWriting) {
    Image narrow;
    ASSERT_TRUE(narrow.allocate(RowCoverage::kMinWidth - 1, 4));
    narrow.updateCoverage();
    EXPECT_EQ(narrow.coverage(), nullptr); // narrow pictures draw whole rows

    Image image;
    ASSERT_TRUE(image.allocate(40, 3));
    EXPECT_EQ(image.coverage(), nullptr); // not measured yet
    image.pixels()[(40 + 5) * 4 + 3] = 255;
    image.updateCoverage();
    const Image& shown = image;
    ASSERT_NE(shown.coverage(), nullptr);
    EXPECT_EQ(shown.coverage()->row(0).first, shown.coverage()->row(0).end); // transparent
    EXPECT_EQ(std::pair(shown.coverage()->row(1).first, shown.coverage()->row(1).end + 0u),
              std::pair(5u, 6u));
    image.pixels(); // may be written now: the spans are not to be trusted
    EXPECT_EQ(shown.coverage(), nullptr);
    image.updateCoverage();
    Image moved = std::move(image);
    EXPECT_NE(std::as_const(moved).coverage(), nullptr);
    EXPECT_EQ(shown.coverage(), nullptr);
    Point at;
    ASSERT_TRUE(moved.growToInclude(-2, 0, 1, 1, at));
    EXPECT_EQ(std::as_const(moved).coverage(), nullptr);
}
