// Frame composition of full-frame layers at opacity 200, beside pixman's masked OVER of the same
// pictures measured in the same run:
// - pal: 8 layers of 720 x 576 in two sets, composed the way the frame path does it (the
//   animations advance, the draw list is collected, the Compositor draws it) and through
//   Engine::composeFrame (plus the scene's lock and a frame from the pool); heap allocations
//   made while composing are counted.
// - 1080: 16 layers of 1920 x 1080, with every composing thread, with one, and with one and no
//   bands (the frame composed whole, layer after layer), beside the machine's memory copy
//   bandwidth.
// - 1080 sparse: 16 lower thirds at opacity 255, each 216 opaque rows of a 1920 x 1080 picture
//   whose other rows are transparent, with the pictures' rows measured (as commands measure
//   them) and, for comparison, not measured (drawn whole).
// Times are wall-clock: the composing threads work together.

#include "BenchSummary.h"

#include "engine/Compositor.h"
#include "engine/Engine.h"
#include "image/FrameBuffer.h"
#include "image/Image.h"
#include "image/PixelKernels.h"
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

constexpr int kOpacity = 200;

struct Size {
    int width, height, layers;
};
constexpr Size kPal{720, 576, 8};
constexpr Size kHd{1920, 1080, 16};

using Pictures = std::vector<std::shared_ptr<const Image>>;

// Random pixels, the same for every composer of a size.
Pictures makePictures(Size size) {
    std::mt19937 rng(2031);
    Pictures list;
    for (int i = 0; i < size.layers; ++i) {
        auto image = std::make_shared<Image>();
        image->allocate(size.width, size.height);
        for (int64_t p = 0; p < int64_t{size.width} * size.height * 4; p += 4) {
            const uint32_t v = static_cast<uint32_t>(rng());
            std::memcpy(image->pixels() + p, &v, 4);
        }
        list.push_back(std::move(image));
    }
    return list;
}

// Transparent but for 216 opaque rows, a different place in each picture; `measured` as a
// command that loads it would leave it.
Pictures makeLowerThirds(bool measured) {
    std::mt19937 rng(16);
    Pictures list;
    for (int i = 0; i < kHd.layers; ++i) {
        auto image = std::make_shared<Image>();
        image->allocate(kHd.width, kHd.height);
        const int top = (i * 53) % (kHd.height - 216);
        for (int64_t p = int64_t{top} * kHd.width; p < int64_t{top + 216} * kHd.width; ++p) {
            const uint32_t v = static_cast<uint32_t>(rng()) | 0xFF000000u;
            std::memcpy(image->pixels() + p * 4, &v, 4);
        }
        if (measured)
            image->updateCoverage();
        list.push_back(std::move(image));
    }
    return list;
}

const Pictures& pictures(Size size) {
    static const Pictures pal = makePictures(kPal);
    static const Pictures hd = makePictures(kHd);
    return size.width == kPal.width ? pal : hd;
}

// Two sets, the layers alternating between them, each showing its picture at `opacity`.
void fill(Scene& scene, Size size, const Pictures& shown, int32_t opacity = kOpacity) {
    const int32_t sets[2] = {scene.createSet(), scene.createSet()};
    for (int i = 0; i < size.layers; ++i) {
        Layer* layer = scene.findLayer(scene.createLayer(sets[i % 2]));
        (void)layer->setFrames({shown[static_cast<size_t>(i)]}, 1, true);
        layer->setWindow(size.width, size.height);
        layer->setBlending(1, opacity);
        layer->show();
    }
}

struct FramePath {
    Size size;
    Scene scene;
    DrawList items;
    std::unique_ptr<Compositor> compositor;
    std::unique_ptr<FrameBuffer> target;

    FramePath(Size s, CompositorSettings settings, const Pictures& shown, int32_t opacity)
        : size(s), compositor(Compositor::create(s.width, s.height, {0, 0, 0, 255}, settings)),
          target(FrameBuffer::create(s.width, s.height)) {
        fill(scene, size, shown, opacity);
    }
    void compose() {
        scene.advance();
        scene.collect(items);
        compositor->compose(*target, items);
    }
};

void composeWith(benchmark::State& state, Size size, CompositorSettings settings,
                 const Pictures* shown = nullptr, int32_t opacity = kOpacity) {
    FramePath path(size, settings, shown != nullptr ? *shown : pictures(size), opacity);
    path.compose(); // warm up: the draw list takes its memory
    if (path.items.size() != static_cast<size_t>(size.layers)) {
        state.SkipWithError("the scene does not draw every layer");
        return;
    }
    const long before = allocations.load();
    for (auto _ : state) {
        path.compose();
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] = static_cast<double>(allocations.load() - before);
}

void BM_compose_pal(benchmark::State& state) {
    composeWith(state, kPal, {composingThreads(0)});
}
void BM_compose_1080(benchmark::State& state) {
    composeWith(state, kHd, {composingThreads(0)});
}
void BM_compose_1080_1thread(benchmark::State& state) {
    composeWith(state, kHd, {1});
}
void BM_compose_1080_1thread_nobands(benchmark::State& state) {
    composeWith(state, kHd, {1, kHd.height});
}

void BM_compose_1080_sparse(benchmark::State& state) {
    static const Pictures measured = makeLowerThirds(true);
    composeWith(state, kHd, {composingThreads(0)}, &measured, 255);
}
void BM_compose_1080_sparse_unmeasured(benchmark::State& state) {
    static const Pictures whole = makeLowerThirds(false);
    composeWith(state, kHd, {composingThreads(0)}, &whole, 255);
}

void BM_composeFrame_pal(benchmark::State& state) {
    static std::unique_ptr<Engine> engine = [] {
        std::unique_ptr<Engine> made =
            Engine::create(Format{}, {0, 0, 0, 255}, {composingThreads(0)});
        fill(*made->scene().forCommand(), kPal, pictures(kPal));
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

// The background, then `layers` masked OVER composites (1 or all of the size's layers).
void pixmanOver(benchmark::State& state, Size size, int layers) {
    const int w = size.width, h = size.height;
    std::vector<uint32_t> background(size_t(w) * h, 0xFF000000u);
    std::vector<uint32_t> frame(size_t(w) * h);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, frame.data(), w * 4);
    pixman_image_t* bg = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, background.data(), w * 4);
    std::vector<pixman_image_t*> srcs;
    for (int i = 0; i < layers; ++i)
        srcs.push_back(
            pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h,
                                     reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(
                                         pictures(size)[static_cast<size_t>(i)]->pixels())),
                                     w * 4));
    const pixman_color_t maskColour = {0, 0, 0, static_cast<uint16_t>(kOpacity * 257)};
    pixman_image_t* mask = pixman_image_create_solid_fill(&maskColour);
    for (auto _ : state) {
        if (layers > 1)
            pixman_image_composite32(PIXMAN_OP_SRC, bg, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
        for (pixman_image_t* src : srcs)
            pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
    }
    for (pixman_image_t* src : srcs)
        pixman_image_unref(src);
    pixman_image_unref(mask);
    pixman_image_unref(bg);
    pixman_image_unref(dst);
}

void BM_pixman_8xOver_pal(benchmark::State& state) {
    pixmanOver(state, kPal, kPal.layers);
}
void BM_pixman_1xOver_pal(benchmark::State& state) {
    pixmanOver(state, kPal, 1);
}
void BM_pixman_1xOver_1080(benchmark::State& state) {
    pixmanOver(state, kHd, 1);
}

// Copies between two 64 MiB buffers: far beyond the caches, so this is the memory's speed.
void BM_memcpy_64MiB(benchmark::State& state) {
    constexpr size_t kBytes = size_t{64} << 20;
    std::vector<uint8_t> from(kBytes, 1), to(kBytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

BENCHMARK(BM_compose_pal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_composeFrame_pal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pixman_8xOver_pal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pixman_1xOver_pal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_compose_1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_compose_1080_1thread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_compose_1080_1thread_nobands)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pixman_1xOver_1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_compose_1080_sparse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_compose_1080_sparse_unmeasured)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_memcpy_64MiB)->Unit(benchmark::kMillisecond);

// Allocations per composed frame: the counter holds the total over all iterations.
double perFrame(const bench::CapturingReporter& r, const char* name, long& total) {
    total = static_cast<long>(r.counter(name, "allocations"));
    const int64_t iterations = r.iterations(name);
    return iterations > 0 ? static_cast<double>(total) / static_cast<double>(iterations) : 0.0;
}

const char* verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

void summary(const bench::CapturingReporter& r) {
    std::printf("Kernels: %s; composing threads: %d\n", activeKernels().name, composingThreads(0));
    const double pal8 = r.realSeconds("BM_pixman_8xOver_pal");
    const double pal1 = r.realSeconds("BM_pixman_1xOver_pal") * kPal.layers;
    std::printf("pal, 8 full-frame layers at opacity %d (pixman 8 x OVER: %.3f ms; 8 x one-layer "
                "OVER: %.3f ms)\n",
                kOpacity, pal8 * 1e3, pal1 * 1e3);
    for (const char* name : {"BM_compose_pal", "BM_composeFrame_pal"}) {
        const double ours = r.realSeconds(name);
        long total = 0;
        const double each = perFrame(r, name, total);
        std::printf("  %-19s %.3f ms; ratio to 8 x OVER %.2f, to 8 x one-layer OVER %.2f "
                    "(target <= 0.5: %s); %ld allocations while composing (%.2f per frame)\n",
                    name + 3, ours * 1e3, bench::ratio(ours, pal8), bench::ratio(ours, pal1),
                    verdict(ours > 0 && ours <= 0.5 * pal1), total, each);
    }
    const double hd16 = r.realSeconds("BM_pixman_1xOver_1080") * kHd.layers;
    const double copy = r.realSeconds("BM_memcpy_64MiB");
    const double copyRate = copy > 0 ? double(64 << 20) / copy : 0.0;
    std::printf("1080, 16 full-frame layers at opacity %d (16 x pixman one-layer OVER: %.3f ms; "
                "memory copy: %.1f GB/s)\n",
                kOpacity, hd16 * 1e3, copyRate / 1e9);
    for (const char* name :
         {"BM_compose_1080", "BM_compose_1080_1thread", "BM_compose_1080_1thread_nobands"}) {
        const double ours = r.realSeconds(name);
        const double layerBytes = double(kHd.width) * kHd.height * 4 * kHd.layers;
        const double readRate = ours > 0 ? layerBytes / ours : 0.0;
        std::printf("  %-31s %6.3f ms (target <= 10 ms: %s); ratio to 16 x OVER %.2f (target <= "
                    "0.5: %s); layers read at %.1f GB/s, %.2f of memory copy\n",
                    name + 3, ours * 1e3, verdict(ours > 0 && ours <= 0.010),
                    bench::ratio(ours, hd16), verdict(ours > 0 && ours <= 0.5 * hd16),
                    readRate / 1e9, bench::ratio(readRate, copyRate));
    }
    const double sparse = r.realSeconds("BM_compose_1080_sparse");
    const double whole = r.realSeconds("BM_compose_1080_sparse_unmeasured");
    std::printf("1080, 16 lower thirds (216 opaque rows each) at opacity 255: %.3f ms with the "
                "rows measured, %.3f ms drawn whole: ratio %.2f\n",
                sparse * 1e3, whole * 1e3, bench::ratio(sparse, whole));
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
