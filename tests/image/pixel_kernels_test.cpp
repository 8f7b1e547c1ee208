// Every kernel set gives the scalar reference's bytes, and KAVELIN_SIMD picks a set the
// processor runs.

#include "image/PixelDispatch.h"
#include "image/PixelKernels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

using namespace kavelin;

namespace kavelin {
// Failure messages name the level.
void PrintTo(SimdLevel level, std::ostream* os) {
    *os << simdLevelName(level);
}
} // namespace kavelin

namespace {

// The three general kernels of a set, by number: blendRow, blendImageRow, blendCappedRow.
void runKernel(const PixelKernels& k, int op, uint8_t* d, const uint8_t* s, int n, int value) {
    if (op == 0)
        k.blendRow(d, s, n, value);
    else if (op == 1)
        k.blendImageRow(d, s, n, value);
    else
        k.blendCappedRow(d, s, n, static_cast<uint8_t>(value));
}

// Short rows cover every tail and partial register; the long ones a frame's width.
std::vector<int> rowLengths() {
    std::vector<int> lengths;
    for (int n = 0; n <= 67; ++n)
        lengths.push_back(n);
    lengths.insert(lengths.end(), {1920, 1921});
    return lengths;
}

uint8_t* bytes(std::vector<uint32_t>& v, int offset) {
    return reinterpret_cast<uint8_t*>(v.data()) + offset;
}

void put(std::vector<uint32_t>& v, int offset, int i, uint32_t pixel) {
    std::memcpy(bytes(v, offset) + 4 * i, &pixel, 4);
}

class KernelIdentity : public ::testing::TestWithParam<SimdLevel> {
protected:
    void SetUp() override {
        kernels_ = kernelsFor(GetParam());
        if (kernels_ == nullptr)
            GTEST_SKIP() << "processor lacks " << simdLevelName(GetParam());
    }
    const PixelKernels* kernels_ = nullptr;
};

} // namespace

TEST_P(KernelIdentity, RowsOfEveryLengthAndEveryAlphaPairMatchScalar) {
    std::mt19937 rng(1234);
    std::vector<uint32_t> src(1925), dst(1925), ref(1925);
    // Opacities outside 0..255 as well: the four-pixel form clamps them, the single form takes
    // the low byte, and every set must agree.
    for (int op : {0, 1, 2})
        for (int value : {0, 1, 127, 128, 200, 254, 255, -1, 256, INT32_MIN, INT32_MAX}) {
            // Random rows starting off 4-byte alignment in different ways; alphas often 0 or
            // 255, sometimes in runs of transparent pixels.
            for (int n : rowLengths())
                for (int trial = 0; trial < 6; ++trial) {
                    const int srcOffset = trial % 4, dstOffset = (trial + 1) % 4;
                    for (int i = 0; i < n; ++i) {
                        const uint32_t v = rng(), pick = rng() % 8;
                        put(src, srcOffset, i,
                            pick == 0 || (trial % 3 == 2 && i / 6 % 2 == 0)
                                ? v & 0xFFFFFF
                                : (pick == 1 ? v | 0xFF000000 : v));
                        put(dst, dstOffset, i,
                            trial >= 3 ? uint32_t(rng()) & 0xFFFFFF : uint32_t(rng()));
                    }
                    ref = dst;
                    runKernel(scalarKernels(), op, bytes(ref, dstOffset), bytes(src, srcOffset), n,
                              value);
                    runKernel(*kernels_, op, bytes(dst, dstOffset), bytes(src, srcOffset), n,
                              value);
                    ASSERT_EQ(ref, dst) << "op " << op << " value " << value << " n " << n;
                }
            // All source and destination alphas, with colours at the extremes and in between.
            for (uint32_t da = 0; da < 256; ++da) {
                for (uint32_t sa = 0; sa < 256; ++sa) {
                    const uint32_t colours[] = {0x000000, 0xFFFFFF, uint32_t(rng()) & 0xFFFFFF};
                    src[sa] = sa << 24 | colours[sa % 3];
                    dst[sa] = da << 24 | colours[(sa + 1) % 3];
                }
                ref = dst;
                runKernel(scalarKernels(), op, bytes(ref, 0), bytes(src, 0), 256, value);
                runKernel(*kernels_, op, bytes(dst, 0), bytes(src, 0), 256, value);
                ASSERT_EQ(ref, dst) << "op " << op << " value " << value << " da " << da;
            }
        }
}

TEST_P(KernelIdentity, OpaqueRowsMatchScalarBlendAtFullOpacity) {
    std::mt19937 rng(99);
    std::vector<uint32_t> src(1925), dst(1925), ref(1925);
    // Destinations: random; all transparent; and groups that are transparent, opaque or hold a
    // single faint pixel, so that the transparent-destination rule applies to some groups only.
    for (int kind = 0; kind < 3; ++kind)
        for (int n : rowLengths())
            for (int trial = 0; trial < 4; ++trial) {
                const int srcOffset = trial, dstOffset = (trial + 2) % 4;
                for (int i = 0; i < n; ++i) {
                    // Every colour byte, 0 and 255 included, in turn.
                    const uint32_t c = (i + trial) & 0xFF;
                    const uint32_t colour = i % 5 == 0 ? c * 0x010101 : uint32_t(rng()) & 0xFFFFFF;
                    put(src, srcOffset, i, colour | 0xFF000000);
                    uint32_t d = rng();
                    if (kind == 1 || (kind == 2 && (i / 4 + trial) % 3 == 0))
                        d &= 0xFFFFFF;
                    else if (kind == 2 && (i / 4 + trial) % 3 == 1)
                        d = (d & 0xFFFFFF) | (i % 4 == trial ? 0x01000000 : 0);
                    put(dst, dstOffset, i, d);
                }
                ref = dst;
                scalarKernels().blendRow(bytes(ref, dstOffset), bytes(src, srcOffset), n, 255);
                kernels_->blendOpaqueRow(bytes(dst, dstOffset), bytes(src, srcOffset), n);
                ASSERT_EQ(ref, dst) << "kind " << kind << " n " << n << " trial " << trial;
            }
}

// The single form divides by t in floating point in the wider sets; every alpha pair, with every
// source colour byte over destination colours that vary with it, must give the integer quotient.
TEST_P(KernelIdentity, SingleFormDivisionIsExactForEveryAlphaPairAndColour) {
    std::vector<uint32_t> src(256), dst(256), ref(256);
    for (uint32_t sa = 0; sa < 256; ++sa)
        for (uint32_t da = 0; da < 256; ++da) {
            for (uint32_t i = 0; i < 256; ++i) {
                src[i] = sa << 24 | ((i * 7) & 0xFF) << 16 | (255 - i) << 8 | i;
                const uint32_t dc = (i * 13 + sa) & 0xFF;
                dst[i] = da << 24 | (255 - dc) << 16 | ((dc * 5) & 0xFF) << 8 | dc;
            }
            ref = dst;
            scalarKernels().blendCappedRow(bytes(ref, 0), bytes(src, 0), 256, 255);
            kernels_->blendCappedRow(bytes(dst, 0), bytes(src, 0), 256, 255);
            ASSERT_EQ(ref, dst) << "sa " << sa << " da " << da;
        }
}

INSTANTIATE_TEST_SUITE_P(Sets, KernelIdentity,
                         ::testing::Values(SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2,
                                           SimdLevel::Avx512),
                         [](const auto& info) { return std::string(simdLevelName(info.param)); });

TEST(SimdChoice, KavelinSimdForcesALevelAtOrBelowTheProcessors) {
    using L = SimdLevel;
    const struct {
        const char* text;
        L best, expected;
    } cases[] = {
        {nullptr, L::Avx512, L::Avx512},
        {"scalar", L::Avx512, L::Scalar},
        {"sse2", L::Avx2, L::Sse2},
        {"avx2", L::Avx512, L::Avx2},
        {"avx512", L::Avx512, L::Avx512},
        // Above the processor, or not a level: its best.
        {"avx512", L::Avx2, L::Avx2},
        {"AVX2", L::Avx512, L::Avx512},
        {"avx", L::Avx2, L::Avx2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseSimdLevel(c.text, c.best), c.expected) << (c.text ? c.text : "(unset)");
        // On this processor every answer is a set that runs.
        EXPECT_NE(kernelsFor(chooseSimdLevel(c.text, bestSimdLevel())), nullptr);
    }
    // The words are the sets' names, which the program logs.
    for (const PixelKernels* set : availableKernels())
        EXPECT_EQ(kernelsFor(chooseSimdLevel(set->name, bestSimdLevel())), set) << set->name;
    EXPECT_EQ(availableKernels().count, static_cast<int>(bestSimdLevel()) + 1);

    const char* env = std::getenv("KAVELIN_SIMD");
    EXPECT_EQ(simdChoice().requested, env ? env : "");
    EXPECT_EQ(&activeKernels(), kernelsFor(chooseSimdLevel(env, bestSimdLevel())));
}
