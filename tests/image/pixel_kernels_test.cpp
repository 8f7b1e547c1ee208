// Every SIMD kernel set gives the scalar reference's bytes.

#include "image/PixelKernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace kavelin;

namespace {

const PixelKernels* kernelsNamed(const std::string& name) {
    if (name == "sse2")
        return &sse2Kernels();
    return avx2Kernels();
}

// Random pixels whose alphas are often 0 or 255, with runs of zero alpha long enough to make
// whole groups transparent.
void fillPixels(std::mt19937& rng, uint8_t* p, int count, int style) {
    for (int i = 0; i < count; ++i) {
        uint32_t v = static_cast<uint32_t>(rng());
        const uint32_t pick = rng() % 8;
        if (style == 1 || (style == 2 && (i / 6) % 2 == 0) || pick == 0)
            v &= 0x00FFFFFF;
        else if (pick == 1)
            v |= 0xFF000000;
        std::memcpy(p + 4 * i, &v, 4);
    }
}

class KernelIdentity : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        kernels = kernelsNamed(GetParam());
        if (kernels == nullptr)
            GTEST_SKIP() << "processor lacks " << GetParam();
    }
    const PixelKernels* kernels = nullptr;
};

enum class Op { Row, ImageRow, Capped };

void runKernel(const PixelKernels& k, Op op, uint8_t* d, const uint8_t* s, int n, int value) {
    switch (op) {
    case Op::Row:
        k.blendRow(d, s, n, value);
        break;
    case Op::ImageRow:
        k.blendImageRow(d, s, n, value);
        break;
    case Op::Capped:
        k.blendCappedRow(d, s, n, static_cast<uint8_t>(value));
        break;
    }
}

} // namespace

TEST_P(KernelIdentity, RandomRowsMatchScalar) {
    std::mt19937 rng(1234);
    constexpr int kMax = 67;
    std::vector<uint8_t> src(kMax * 4 + 8), dst(kMax * 4 + 8), ref(kMax * 4 + 8);
    for (Op op : {Op::Row, Op::ImageRow, Op::Capped})
        for (int value : {0, 1, 127, 128, 254, 255})
            for (int n = 0; n <= kMax; ++n)
                for (int trial = 0; trial < 6; ++trial) {
                    const int srcOff = trial % 4, dstOff = (trial + 1) % 4;
                    // Styles: mixed, transparent source, alternating runs; then the same over
                    // an all-transparent destination.
                    fillPixels(rng, src.data() + srcOff, n, trial % 3);
                    fillPixels(rng, dst.data() + dstOff, n, trial < 3 ? 0 : 1);
                    std::memcpy(ref.data(), dst.data(), dst.size());
                    runKernel(scalarKernels(), op, ref.data() + dstOff, src.data() + srcOff, n,
                              value);
                    runKernel(*kernels, op, dst.data() + dstOff, src.data() + srcOff, n, value);
                    ASSERT_EQ(0, std::memcmp(ref.data(), dst.data(), dst.size()))
                        << "op " << static_cast<int>(op) << " value " << value << " n " << n
                        << " trial " << trial;
                }
}

TEST_P(KernelIdentity, EveryAlphaPairMatchesScalar) {
    // All source and destination alphas, with colours at the extremes and in between.
    std::mt19937 rng(99);
    std::vector<uint32_t> src(256), dst(256), ref(256);
    for (Op op : {Op::Row, Op::ImageRow, Op::Capped})
        for (int value : {1, 128, 200, 255})
            for (uint32_t da = 0; da < 256; ++da) {
                for (uint32_t sa = 0; sa < 256; ++sa) {
                    const uint32_t colours[] = {0x000000, 0xFFFFFF,
                                                static_cast<uint32_t>(rng()) & 0xFFFFFF};
                    src[sa] = sa << 24 | colours[sa % 3];
                    dst[sa] = da << 24 | colours[(sa + 1) % 3];
                }
                ref = dst;
                auto bytes = [](std::vector<uint32_t>& v) {
                    return reinterpret_cast<uint8_t*>(v.data());
                };
                runKernel(scalarKernels(), op, bytes(ref), bytes(src), 256, value);
                runKernel(*kernels, op, bytes(dst), bytes(src), 256, value);
                ASSERT_EQ(ref, dst)
                    << "op " << static_cast<int>(op) << " value " << value << " da " << da;
            }
}

TEST_P(KernelIdentity, OpacityOutsideTheByteRangeStaysSafe) {
    std::mt19937 rng(7);
    std::vector<uint8_t> src(64 * 4), dst(64 * 4), ref(64 * 4);
    for (int value : {-1, 256, 1000, INT32_MIN, INT32_MAX}) {
        fillPixels(rng, src.data(), 64, 0);
        fillPixels(rng, dst.data(), 64, 0);
        std::memcpy(ref.data(), dst.data(), dst.size());
        scalarKernels().blendRow(ref.data(), src.data(), 63, value);
        kernels->blendRow(dst.data(), src.data(), 63, value);
        ASSERT_EQ(ref, dst) << value;
    }
}

INSTANTIATE_TEST_SUITE_P(Simd, KernelIdentity, ::testing::Values("sse2", "avx2"),
                         [](const auto& info) { return info.param; });
