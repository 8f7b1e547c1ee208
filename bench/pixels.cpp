// Pixel routines on 720 x 576 frames of random pixels and alphas, beside pixman and memcpy.

#include "BenchSummary.h"

#include "image/FrameBuffer.h"
#include "image/PixelKernels.h"
#include "image/PixelRoutines.h"

#include <cstring>
#include <random>
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
    Frames() : src(kPixels), dst(kPixels) {
        std::mt19937 rng(2031);
        for (auto& p : src)
            p = static_cast<uint32_t>(rng());
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

void setPixels(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kPixels);
}

// A whole-frame blend through one kernel set, row by row as blendRect does.
void blendWith(benchmark::State& state, const PixelKernels* kernels,
               void (*PixelKernels::*row)(uint8_t*, const uint8_t*, int32_t, int32_t)) {
    if (kernels == nullptr) {
        state.SkipWithError("kernel set not supported here");
        return;
    }
    Frames& f = frames();
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            (kernels->*row)(f.d() + y * kW * 4, f.s() + y * kW * 4, kW, kOpacity);
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

void BM_blendRect_scalar(benchmark::State& state) {
    blendWith(state, &scalarKernels(), &PixelKernels::blendRow);
}
void BM_blendRect_sse2(benchmark::State& state) {
    blendWith(state, &sse2Kernels(), &PixelKernels::blendRow);
}
void BM_blendRect_avx2(benchmark::State& state) {
    blendWith(state, avx2Kernels(), &PixelKernels::blendRow);
}

void BM_blendImage(benchmark::State& state) {
    Frames& f = frames();
    for (auto _ : state) {
        blendImage(f.d(), 0, 0, kW, f.s(), 0, 0, kW, kW, kH, kOpacity);
        benchmark::ClobberMemory();
    }
    setPixels(state);
}
void BM_blendImage_scalar(benchmark::State& state) {
    blendWith(state, &scalarKernels(), &PixelKernels::blendImageRow);
}

void cappedWith(benchmark::State& state, const PixelKernels& kernels) {
    Frames& f = frames();
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            kernels.blendCappedRow(f.d() + y * kW * 4, f.s() + y * kW * 4, kW, kOpacity);
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
void BM_blendImageCapped_scalar(benchmark::State& state) {
    cappedWith(state, scalarKernels());
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
BENCHMARK(BM_blendRect_avx2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendRect_sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendRect_scalar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendImage_scalar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendImageCapped)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blendImageCapped_scalar)->Unit(benchmark::kMicrosecond);
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
    for (const char* name : {"BM_blendRect", "BM_blendRect_avx2", "BM_blendRect_sse2",
                             "BM_blendRect_scalar", "BM_blendImage", "BM_blendImage_scalar",
                             "BM_blendImageCapped", "BM_blendImageCapped_scalar"})
        std::printf("  %-26s %8.0f Mpx/s  ratio to pixman %.2f\n", name + 3, mps(name),
                    bench::ratio(mps(name), pixman));
    const double copy = r.seconds("BM_copyFrame"), mem = r.seconds("BM_memcpy");
    std::printf("  copyFrame %.1f us, memcpy %.1f us: ratio %.2f (memcpy time / copyFrame time)\n",
                copy * 1e6, mem * 1e6, bench::ratio(mem, copy));
}

} // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarise(argc, argv, summary);
}
