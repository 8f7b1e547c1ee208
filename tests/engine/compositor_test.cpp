// Banded, threaded composition gives exactly the bytes of drawing the frame whole, layer after
// layer, with the plain rectangle routines.

#include "engine/Compositor.h"
#include "engine/WorkerPool.h"
#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

using namespace kavelin;

namespace {

constexpr int32_t kW = 203, kH = 61;
constexpr PixelColour kBackground{10, 20, 30, 0};

// Random pixels with the alphas pictures have: rows transparent at both ends, whole transparent
// rows, opaque runs and rows, and anything between.
std::shared_ptr<Image> randomPicture(std::mt19937& rng, int32_t w, int32_t h) {
    auto image = std::make_shared<Image>();
    EXPECT_TRUE(image->allocate(w, h));
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t kind = rng() % 5;
        const int32_t from = static_cast<int32_t>(rng() % (w + 1));
        const int32_t to = from + static_cast<int32_t>(rng() % (w - from + 1));
        for (int32_t x = from; x < to && kind != 0; ++x) {
            uint32_t v = static_cast<uint32_t>(rng());
            if (kind == 1 || (kind == 2 && rng() % 4 != 0))
                v |= 0xFF000000u;
            std::memcpy(image->pixels() + (int64_t{y} * w + x) * 4, &v, 4);
        }
    }
    return image;
}

// The frame drawn whole, layer after layer, by the rectangle routines.
void composeReference(FrameBuffer& target, const FrameBuffer& background, const DrawList& items,
                      int32_t field) {
    const bool interlaced = field == 0 || field == 1;
    copyFrame(target, 0, 0, background, 0, 0, target.width(), target.height(),
              interlaced ? field : 2);
    for (const DrawItem& item : items)
        for (int32_t i = 0; i < item.rectCount; ++i) {
            const DrawRect& r = item.rects[static_cast<size_t>(i)];
            const ClippedRect c =
                clipRect(satAdd(r.dstX, item.originX), satAdd(r.dstY, item.originY), r.width,
                         r.height, target.width(), target.height());
            if (c.w <= 0 || c.h <= 0)
                continue;
            int32_t dy = c.y, sy = r.srcY + c.srcY, h = c.h;
            if (interlaced && (dy & 1) != field) {
                ++dy;
                ++sy;
                if (--h <= 0)
                    continue;
            }
            const int32_t pitch = item.image->width() * 4;
            const uint8_t* src = item.image->pixels();
            if (item.copy)
                (interlaced ? copyRectField : copyRect)(target.pixels(), target.pitch(), c.x, dy,
                                                        src, pitch, r.srcX + c.srcX, sy, c.w, h);
            else
                (interlaced ? blendRectField : blendRect)(target.pixels(), target.pitch(), c.x, dy,
                                                          src, pitch, r.srcX + c.srcX, sy, c.w, h,
                                                          item.opacity);
        }
}

DrawList randomScene(std::mt19937& rng) {
    DrawList items;
    for (int i = 0; i < 14; ++i) {
        // Some narrower than a coverage table is kept for, one never measured.
        const int32_t w = 3 + static_cast<int32_t>(rng() % 260);
        const int32_t h = 1 + static_cast<int32_t>(rng() % 90);
        std::shared_ptr<Image> picture = randomPicture(rng, w, h);
        if (i != 3)
            picture->updateCoverage();
        DrawItem item;
        item.image = picture;
        item.rectCount = 1 + static_cast<int32_t>(rng() % 2);
        for (int32_t r = 0; r < item.rectCount; ++r) {
            const int32_t sx = static_cast<int32_t>(rng() % w),
                          sy = static_cast<int32_t>(rng() % h);
            item.rects[size_t(r)] = {sx,
                                     sy,
                                     static_cast<int32_t>(rng() % 40),
                                     static_cast<int32_t>(rng() % 20),
                                     w - sx - static_cast<int32_t>(rng() % (w - sx)) / 4,
                                     h - sy};
        }
        // Partly or wholly outside the frame on every side, at the ends of the range too.
        item.originX = static_cast<int32_t>(rng() % (kW + 100)) - 150;
        item.originY = static_cast<int32_t>(rng() % (kH + 60)) - 80;
        if (i == 5)
            item.originY = INT32_MAX - 3;
        const int32_t opacities[] = {255, 255, 200, 128, 1, 0, 254};
        item.opacity = opacities[rng() % 7];
        item.copy = rng() % 9 == 0;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<uint8_t> pixelsOf(const FrameBuffer& frame) {
    return {frame.pixels(), frame.pixels() + frame.byteSize()};
}

} // namespace

TEST(CompositorTest, FramesAreTheSameWithAnyThreadsAndBandsAsDrawnLayerAfterLayer) {
    std::mt19937 rng(16);
    auto background = FrameBuffer::create(kW, kH);
    const uint32_t packed = 0x000A141Eu;
    for (int32_t p = 0; p < kW * kH; ++p)
        std::memcpy(background->pixels() + p * 4, &packed, 4);
    auto expected = FrameBuffer::create(kW, kH);
    auto frame = FrameBuffer::create(kW, kH);
    for (int scene = 0; scene < 12; ++scene) {
        const DrawList items = randomScene(rng);
        for (int32_t field : {-1, 0, 1}) {
            // What a field leaves alone stays as it was: start both from the same bytes.
            std::memset(expected->pixels(), 0x5A, size_t(expected->byteSize()));
            composeReference(*expected, *background, items, field);
            for (int32_t threads : {1, 2, 3})
                for (int32_t bandRows : {0, 1, 7, kH}) {
                    auto compositor = Compositor::create(kW, kH, kBackground, {threads, bandRows});
                    std::memset(frame->pixels(), 0x5A, size_t(frame->byteSize()));
                    compositor->compose(*frame, items, field);
                    ASSERT_EQ(pixelsOf(*frame), pixelsOf(*expected))
                        << "scene " << scene << ", field " << field << ", " << threads
                        << " threads, bands of " << bandRows << " rows";
                }
        }
    }
}

TEST(CompositorTest, ThreadsOneUnlessAskedFollowTheProcessors) {
    EXPECT_EQ(composingThreads(3), 3);
    EXPECT_GE(composingThreads(0), 1);
    EXPECT_EQ(Compositor::create(8, 8, kBackground, {3, 0})->threads(), 3);
}

TEST(WorkerPoolTest, EveryPieceIsDoneOnceInEveryRun) {
    for (int32_t threads : {1, 2, 4}) {
        WorkerPool pool(threads);
        std::vector<std::atomic<int>> done(300);
        for (int32_t count : {0, 1, 2, 3, 17, 300, 5, 300}) {
            for (auto& d : done)
                d = 0;
            auto piece = [&](int32_t i) { done[size_t(i)].fetch_add(1); };
            pool.run(count, piece);
            for (int32_t i = 0; i < 300; ++i)
                ASSERT_EQ(done[size_t(i)].load(), i < count ? 1 : 0)
                    << threads << " threads, " << count << " pieces";
        }
    }
}

// With two threads, two pieces are done at the same time: each waits until the other has begun.
TEST(WorkerPoolTest, TheCallerAndAWorkerShareARun) {
    WorkerPool pool(2);
    for (int run = 0; run < 20; ++run) {
        std::mutex mutex;
        std::condition_variable changed;
        int begun = 0;
        bool bothAtOnce = true;
        auto piece = [&](int32_t) {
            std::unique_lock lock(mutex);
            ++begun;
            changed.notify_all();
            // Bounded, so that a pool that runs pieces one after another fails instead of hanging.
            if (!changed.wait_for(lock, std::chrono::seconds(10), [&] { return begun == 2; }))
                bothAtOnce = false;
        };
        pool.run(2, piece);
        ASSERT_TRUE(bothAtOnce) << "run " << run;
    }
}
