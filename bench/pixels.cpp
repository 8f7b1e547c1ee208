// Pixel routines on 720 x 576 frames of random pixels and alphas, beside pixman and memcpy.

#include "BenchSummary.h"

#include "image/FrameBuffer.h"
#include "image/PixelDispatch.h"
#include "image/PixelKernels.h"
#include "image/PixelRoutines.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef __has_include
#if __has_include(<pixman.h>)
#include <pixman.h>
#define KAVELIN_HAVE_PIXMAN 1
#endif
#endif

using namespace kavelin;

namespace {

constexpr int kW = 720, kH = 576, kPixels = kW * kH;
constexpr int kOpacity = 200;

struct Frames {
    std::vector<uint32_t> src, dst;
    // sourceAlpha: OR-ed into every source pixel (0xFF000000 for an opaque source).
    explicit Frames(uint32_t sourceAlpha = 0) : src(kPixels), dst(kPixels) {
        std::mt19937 rng(2031);
        for (auto& p : src)
            p = static_cast<uint32_t>(rng()) | sourceAlpha;
        for (auto& p : dst)
            p = static_cast<uint32_t>(rng());
    }
    uint8_t* s() { return reinterpret_cast<uint8_t*>(src.data()); }
    uint8_t* d() { return reinterpret_cast<uint8_t*>(dst.data()); }
};

Frames& frames() {
    static Frames f;
    return f;
}

Frames& opaqueFrames() {
    static Frames f(0xFF000000u);
    return f;
}

void setPixels(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kPixels);
}

using RowKernel = void (*PixelKernels::*)(uint8_t*, const uint8_t*, int32_t, int32_t);

// A whole-frame blend through one kernel set, row by row as blendRect does.
void blendWith(benchmark::State& state, const PixelKernels* kernels, RowKernel row,
               Frames& f = frames(), int32_t opacity = kOpacity) {
    if (kernels == nullptr) {
        state.SkipWithError("kernel set not supported here");
        return;
    }
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            (kernels->*row)(f.d() + y * kW * 4, f.s() + y * kW * 4, kW, opacity);
        benchmark::ClobberMemory();
    }
    setPixels(state);
}

void BM_blendRect(benchmark::State& state) {
    Frames& f = frames();
    for (auto _ : state) {
        blendRect(f.d(), kW * 4, 0, 0, f.s(), kW * 4, 0, 0, kW, kH, kOpacity);
        benchmark::ClobberMemory();
    }
    setPixels(state);
}

void BM_blendImage(benchmark::State& state) {
    Frames& f = frames();
    for (auto _ : state) {
        blendImage(f.d(), 0, 0, kW, f.s(), 0, 0, kW, kW, kH, kOpacity);
        benchmark::ClobberMemory();
    }
    setPixels(state);
}
void cappedWith(benchmark::State& state, const PixelKernels* kernels) {
    if (kernels == nullptr) {
        state.SkipWithError("kernel set not supported here");
        return;
    }
    Frames& f = frames();
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            kernels->blendCappedRow(f.d() + y * kW * 4, f.s() + y * kW * 4, kW, kOpacity);
        benchmark::ClobberMemory();
    }
    setPixels(state);
}
void BM_blendImageCapped(benchmark::State& state) {
    Frames& f = frames();
    for (auto _ : state) {
        blendImageCapped(f.d(), 0, 0, kW, f.s(), 0, 0, kW, kW, kH, kOpacity);
        benchmark::ClobberMemory();
    }
    setPixels(state);
}
// An opaque source at full opacity: the opaque kernel beside blendRow at 255 on the same frames.
void opaqueWith(benchmark::State& state, const PixelKernels* kernels) {
    if (kernels == nullptr) {
        state.SkipWithError("kernel set not supported here");
        return;
    }
    Frames& f = opaqueFrames();
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            kernels->blendOpaqueRow(f.d() + y * kW * 4, f.s() + y * kW * 4, kW);
        benchmark::ClobberMemory();
    }
    setPixels(state);
}

// One benchmark of each kind per kernel set (BM_blendRect_avx512 and so on); a set this
// processor lacks reports an error instead of a figure.
void registerPerSet() {
    for (SimdLevel level :
         {SimdLevel::Avx512, SimdLevel::Avx2, SimdLevel::Sse2, SimdLevel::Scalar}) {
        const PixelKernels* k = kernelsFor(level);
        const std::string set = std::string("_") + simdLevelName(level);
        const auto add = [&](const char* kind, auto run) {
            benchmark::RegisterBenchmark((kind + set).c_str(), run)->Unit(benchmark::kMicrosecond);
        };
        add("BM_blendRect", [k](benchmark::State& s) { blendWith(s, k, &PixelKernels::blendRow); });
        add("BM_blendImage",
            [k](benchmark::State& s) { blendWith(s, k, &PixelKernels::blendImageRow); });
        add("BM_blendImageCapped", [k](benchmark::State& s) { cappedWith(s, k); });
        add("BM_blendOpaque", [k](benchmark::State& s) { opaqueWith(s, k); });
        add("BM_blendRect255", [k](benchmark::State& s) {
            blendWith(s, k, &PixelKernels::blendRow, opaqueFrames(), 255);
        });
    }
}

#ifdef KAVELIN_HAVE_PIXMAN
void BM_pixman_over(benchmark::State& state) {
    Frames& f = frames();
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, f.src.data(), kW * 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, f.dst.data(), kW * 4);
    const pixman_color_t maskColour = {0, 0, 0, kOpacity * 257};
    pixman_image_t* mask = pixman_image_create_solid_fill(&maskColour);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(mask);
    pixman_image_unref(dst);
    pixman_image_unref(src);
    setPixels(state);
}
BENCHMARK(BM_pixman_over)->Unit(benchmark::kMicrosecond);
#endif

void BM_copyFrame(benchmark::State& state) {
    Frames& f = frames();
    FrameBuffer source(f.s(), kW * 4, kW, kH);
    FrameBuffer target(f.d(), kW * 4, kW, kH);
    for (auto _ : state) {
        copyFrame(target, 0, 0, source, 0, 0, kW, kH, 2);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kPixels * 4);
}

void BM_memcpy(benchmark::State& state) {
    Frames& f = frames();
    for (auto _ : state) {
        std::memcpy(f.d(), f.s(), size_t{kPixels} * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kPixels * 4);
}

BENCHMARK(BM_blendRect)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendImageCapped)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_copyFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_memcpy)->Unit(benchmark::kMicrosecond);

void summary(const bench::CapturingReporter& r) {
    auto mps = [&](const char* name) {
        const double s = r.seconds(name);
        return s > 0 ? kPixels / s / 1e6 : 0.0;
    };
    const double pixman = mps("BM_pixman_over");
    std::printf("Summary (720 x 576, random pixels, opacity %d; kernels in use: %s)\n", kOpacity,
                activeKernels().name);
    std::printf("  pixman OVER, solid mask    %8.0f Mpx/s  (reference)\n", pixman);
    for (const char* kind : {"BM_blendRect", "BM_blendImage", "BM_blendImageCapped"})
        for (const char* set : {"", "_avx512", "_avx2", "_sse2", "_scalar"}) {
            const std::string name = std::string(kind) + set;
            std::printf("  %-26s %8.0f Mpx/s  ratio to pixman %.2f\n", name.c_str() + 3,
                        mps(name.c_str()), bench::ratio(mps(name.c_str()), pixman));
        }
    std::printf(
        "Opaque source at opacity 255: the opaque kernel beside blendRow of the same set\n");
    for (const char* set : {"avx512", "avx2", "sse2", "scalar"}) {
        const std::string opaque = std::string("BM_blendOpaque_") + set;
        const std::string blend = std::string("BM_blendRect255_") + set;
        std::printf("  %-7s opaque %8.0f Mpx/s, blendRow %8.0f Mpx/s: %.2f times as fast\n", set,
                    mps(opaque.c_str()), mps(blend.c_str()),
                    bench::ratio(mps(opaque.c_str()), mps(blend.c_str())));
    }
    const double copy = r.seconds("BM_copyFrame"), mem = r.seconds("BM_memcpy");
    std::printf("  copyFrame %.1f us, memcpy %.1f us: ratio %.2f (memcpy time / copyFrame time)\n",
                copy * 1e6, mem * 1e6, bench::ratio(mem, copy));
}

} // namespace

int main(int argc, char** argv) {
    registerPerSet();
    return bench::runAndSummarise(argc, argv, summary);
}
