// Every SIMD kernel set gives the scalar reference's bytes.

#include "image/PixelKernels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

using namespace kavelin;

namespace {

// The three kernels of a set, by number: blendRow, blendImageRow, blendCappedRow.
void runKernel(const PixelKernels& k, int op, uint8_t* d, const uint8_t* s, int n, int value) {
    if (op == 0)
        k.blendRow(d, s, n, value);
    else if (op == 1)
        k.blendImageRow(d, s, n, value);
    else
        k.blendCappedRow(d, s, n, static_cast<uint8_t>(value));
}

class KernelIdentity : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(KernelIdentity, RowsOfEveryLengthAndEveryAlphaPairMatchScalar) {
    const PixelKernels* kernels = GetParam() == "sse2" ? &sse2Kernels() : avx2Kernels();
    if (kernels == nullptr)
        GTEST_SKIP() << "processor lacks " << GetParam();
    std::mt19937 rng(1234);
    std::vector<uint32_t> src(260), dst(260), ref(260);
    const auto bytes = [](std::vector<uint32_t>& v, int offset) {
        return reinterpret_cast<uint8_t*>(v.data()) + offset;
    };
    // Opacities outside 0..255 as well: the four-pixel form clamps them, the single form takes
    // the low byte, and every set must agree.
    for (int op : {0, 1, 2})
        for (int value : {0, 1, 127, 128, 200, 254, 255, -1, 256, INT32_MIN, INT32_MAX}) {
            // Random rows of every length up to 67, starting off 4-byte alignment in different
            // ways; alphas often 0 or 255, sometimes in runs of transparent pixels.
            for (int n = 0; n <= 67; ++n)
                for (int trial = 0; trial < 6; ++trial) {
                    const int srcOffset = trial % 4, dstOffset = (trial + 1) % 4;
                    for (int i = 0; i < n; ++i) {
                        const uint32_t v = rng(), pick = rng() % 8;
                        const uint32_t s = pick == 0 || (trial % 3 == 2 && i / 6 % 2 == 0)
                                               ? v & 0xFFFFFF
                                               : (pick == 1 ? v | 0xFF000000 : v);
                        const uint32_t d =
                            trial >= 3 ? uint32_t(rng()) & 0xFFFFFF : uint32_t(rng());
                        std::memcpy(bytes(src, srcOffset) + 4 * i, &s, 4);
                        std::memcpy(bytes(dst, dstOffset) + 4 * i, &d, 4);
                    }
                    std::memcpy(ref.data(), dst.data(), dst.size() * 4);
                    runKernel(scalarKernels(), op, bytes(ref, dstOffset), bytes(src, srcOffset), n,
                              value);
                    runKernel(*kernels, op, bytes(dst, dstOffset), bytes(src, srcOffset), n, value);
                    ASSERT_EQ(ref, dst) << "op " << op << " value " << value << " n " << n;
                }
            // All source and destination alphas, with colours at the extremes and in between.
            for (uint32_t da = 0; da < 256; ++da) {
                for (uint32_t sa = 0; sa < 256; ++sa) {
                    const uint32_t colours[] = {0x000000, 0xFFFFFF, uint32_t(rng()) & 0xFFFFFF};
                    src[sa] = sa << 24 | colours[sa % 3];
                    dst[sa] = da << 24 | colours[(sa + 1) % 3];
                }
                std::memcpy(ref.data(), dst.data(), dst.size() * 4);
                runKernel(scalarKernels(), op, bytes(ref, 0), bytes(src, 0), 256, value);
                runKernel(*kernels, op, bytes(dst, 0), bytes(src, 0), 256, value);
                ASSERT_EQ(ref, dst) << "op " << op << " value " << value << " da " << da;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Simd, KernelIdentity, ::testing::Values("sse2", "avx2"),
                         [](const auto& info) { return info.param; });
