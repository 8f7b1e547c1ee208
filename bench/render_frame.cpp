// Frame composition: 8 visible full-frame layers at opacity 200 in two sets, beside 8 masked
// pixman OVER composites of the same images. Composed twice: the way the frame path does it
// (the animations advance, the draw list is collected, the Compositor draws it), and through
// Engine::composeFrame (the same, plus the scene's lock and a frame from the pool). Also counts
// the heap allocations made while composing.

#include "BenchSummary.h"

#include "engine/Compositor.h"
#include "engine/Engine.h"
#include "image/FrameBuffer.h"
#include "image/Image.h"
#include "layers/Scene.h"

#include <pixman.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

using namespace kavelin;

namespace {

std::atomic<long> allocations{0};

constexpr int kW = 720, kH = 576, kLayers = 8, kOpacity = 200;

// The pictures of the 8 layers: random pixels, the same for every composer.
const std::vector<std::shared_ptr<const Image>>& pictures() {
    static const std::vector<std::shared_ptr<const Image>> made = [] {
        std::mt19937 rng(2031);
        std::vector<std::shared_ptr<const Image>> list;
        for (int i = 0; i < kLayers; ++i) {
            auto image = std::make_shared<Image>();
            image->allocate(kW, kH);
            for (int p = 0; p < kW * kH * 4; p += 4) {
                const uint32_t v = static_cast<uint32_t>(rng());
                std::memcpy(image->pixels() + p, &v, 4);
            }
            list.push_back(std::move(image));
        }
        return list;
    }();
    return made;
}

// Two sets, the layers alternating between them, each showing its picture at opacity 200.
void fill(Scene& scene) {
    const int32_t sets[2] = {scene.createSet(), scene.createSet()};
    for (int i = 0; i < kLayers; ++i) {
        Layer* layer = scene.findLayer(scene.createLayer(sets[i % 2]));
        (void)layer->setFrames({pictures()[static_cast<size_t>(i)]}, 1, true);
        layer->setWindow(kW, kH);
        layer->setBlending(1, kOpacity);
        layer->show();
    }
}

struct FramePath {
    Scene scene;
    DrawList items;
    std::unique_ptr<Compositor> compositor = Compositor::create(kW, kH, {0, 0, 0, 255});
    std::unique_ptr<FrameBuffer> target = FrameBuffer::create(kW, kH);

    FramePath() { fill(scene); }
    void compose() {
        scene.advance();
        scene.collect(items);
        compositor->compose(*target, items);
    }
};

void BM_compose(benchmark::State& state) {
    static FramePath path;
    path.compose(); // warm up: the draw list takes its memory
    if (path.items.size() != kLayers) {
        state.SkipWithError("the scene does not draw 8 layers");
        return;
    }
    const long before = allocations.load();
    for (auto _ : state) {
        path.compose();
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] = static_cast<double>(allocations.load() - before);
}

void BM_composeFrame(benchmark::State& state) {
    static std::unique_ptr<Engine> engine = [] {
        std::unique_ptr<Engine> made = Engine::create(Format{}, {0, 0, 0, 255});
        fill(*made->scene().forCommand());
        return made;
    }();
    engine->composeFrame(); // warm up
    const long before = allocations.load();
    for (auto _ : state) {
        std::shared_ptr<const Frame> frame = engine->composeFrame();
        benchmark::DoNotOptimize(frame.get());
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] = static_cast<double>(allocations.load() - before);
}

void BM_pixman_8xOver(benchmark::State& state) {
    std::vector<uint32_t> background(kW * kH, 0xFF000000u);
    std::vector<uint32_t> frame(kW * kH);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, frame.data(), kW * 4);
    pixman_image_t* bg =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, background.data(), kW * 4);
    std::vector<pixman_image_t*> srcs;
    for (const auto& picture : pictures())
        srcs.push_back(pixman_image_create_bits(
            PIXMAN_a8r8g8b8, kW, kH,
            reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(picture->pixels())), kW * 4));
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

BENCHMARK(BM_compose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_composeFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pixman_8xOver)->Unit(benchmark::kMillisecond);

// Allocations per composed frame: the counter holds the total over all iterations.
double perFrame(const bench::CapturingReporter& r, const char* name, long& total) {
    total = static_cast<long>(r.counter(name, "allocations"));
    const int64_t iterations = r.iterations(name);
    return iterations > 0 ? static_cast<double>(total) / static_cast<double>(iterations) : 0.0;
}

void summary(const bench::CapturingReporter& r) {
    const double ref = r.seconds("BM_pixman_8xOver");
    for (const char* name : {"BM_compose", "BM_composeFrame"}) {
        const double ours = r.seconds(name);
        long total = 0;
        const double each = perFrame(r, name, total);
        std::printf("%-15s 8 full-frame layers at opacity 200: %.3f ms per frame; pixman 8 x "
                    "OVER: %.3f ms; ratio %.2f (target <= 1.0; frame budget 40 ms); "
                    "%ld allocations while composing (%.2f per frame)%s\n",
                    name + 3, ours * 1e3, ref * 1e3, bench::ratio(ours, ref), total, each,
                    std::strcmp(name, "BM_compose") == 0 ? " (target 0)" : "");
    }
}

} // namespace

// GCC cannot see that the replaced operator new below allocates with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// Counts every allocation of the process; the figures printed are the counts made while
// composing during the timed loops.
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
