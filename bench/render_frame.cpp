// Frame composition: 8 visible full-frame layers at opacity 200 in two sets, beside 8 masked
// pixman OVER composites of the same images. Also counts allocations made while composing.

#include "BenchSummary.h"
#include "NullLog.h"

#include "engine/LogSink.h"
#include "engine/Renderer.h"
#include "image/FrameBuffer.h"
#include "image/Image.h"
#include "layers/Layer.h"

#include <pixman.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string_view>
#include <vector>

using namespace kavelin;

namespace {

std::atomic<long> allocations{0};

constexpr int kW = 720, kH = 576, kLayers = 8, kOpacity = 200;

struct Scene {
    bench::NullLog log;
    Renderer renderer{log};
    std::unique_ptr<FrameBuffer> target = FrameBuffer::create(kW, kH);

    Scene() {
        renderer.init(kW, kH, true, {0, 0, 0, 255});
        std::mt19937 rng(2031);
        const int sets[2] = {renderer.createLayerSet(), renderer.createLayerSet()};
        for (int i = 0; i < kLayers; ++i) {
            const int n = renderer.createLayer(sets[i % 2]);
            renderer.initLayer_size(n, kW, kH);
            Image& image = *renderer.findLayer(n)->image();
            for (int p = 0; p < kW * kH * 4; p += 4) {
                const uint32_t v = static_cast<uint32_t>(rng());
                std::memcpy(image.pixels() + p, &v, 4);
            }
            renderer.setLayerBlending(n, 1, kOpacity);
            renderer.showLayer(n);
        }
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_renderFrame(benchmark::State& state) {
    Scene& s = scene();
    s.renderer.renderFrame(s.target.get(), false, -1); // warm up
    const long before = allocations.load();
    for (auto _ : state) {
        s.renderer.renderFrame(s.target.get(), false, -1);
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] = static_cast<double>(allocations.load() - before);
}

void BM_pixman_8xOver(benchmark::State& state) {
    std::mt19937 rng(2031);
    std::vector<std::vector<uint32_t>> layers(kLayers, std::vector<uint32_t>(kW * kH));
    for (auto& layer : layers)
        for (auto& p : layer)
            p = static_cast<uint32_t>(rng());
    std::vector<uint32_t> background(kW * kH, 0xFF000000u);
    std::vector<uint32_t> frame(kW * kH);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, frame.data(), kW * 4);
    pixman_image_t* bg =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, background.data(), kW * 4);
    std::vector<pixman_image_t*> srcs;
    for (auto& layer : layers)
        srcs.push_back(pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, layer.data(), kW * 4));
    const pixman_color_t maskColour = {0, 0, 0, static_cast<uint16_t>(kOpacity * 257)};
    pixman_image_t* mask = pixman_image_create_solid_fill(&maskColour);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, bg, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        for (pixman_image_t* src : srcs)
            pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    for (pixman_image_t* src : srcs)
        pixman_image_unref(src);
    pixman_image_unref(mask);
    pixman_image_unref(bg);
    pixman_image_unref(dst);
}

BENCHMARK(BM_renderFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pixman_8xOver)->Unit(benchmark::kMillisecond);

void summary(const bench::CapturingReporter& r) {
    const double ours = r.seconds("BM_renderFrame");
    const double ref = r.seconds("BM_pixman_8xOver");
    std::printf("renderFrame, 8 full-frame layers at opacity 200: %.3f ms per frame; "
                "pixman 8 x OVER: %.3f ms; ratio %.2f (target <= 1.0; frame budget 40 ms)\n",
                ours * 1e3, ref * 1e3, bench::ratio(ours, ref));
}

} // namespace

// GCC cannot see that the replaced operator new below allocates with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Counts every allocation of the process; the figure printed is the count made by
// renderFrame during the timed loop.
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

int main(int argc, char** argv) {
    return bench::runAndSummarise(argc, argv, summary);
}
