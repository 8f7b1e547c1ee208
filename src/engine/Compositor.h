#pragma once

#include "engine/WorkerPool.h"
#include "image/FrameBuffer.h"
#include "image/Image.h"
#include "layers/DrawItem.h"

#include <cstdint>
#include <memory>

namespace kavelin {

struct CompositorSettings {
    // Threads that compose, the caller's included.
    int32_t threads = 1;
    // Rows per band; 0 sizes bands to stay in a core's cache, and a band as tall as the frame
    // composes the whole frame layer after layer.
    int32_t bandRows = 0;
};

// Threads for composing: `asked` when above 0, otherwise one per processor the system reports.
int32_t composingThreads(int32_t asked);

// Composes frames: the background, then every visible layer's picture in drawing order. The
// frame is split into bands of rows, each band composed whole (background and every layer)
// while it is in the cache, the bands shared among a fixed set of threads.
class Compositor {
public:
    // None when the background's memory cannot be had.
    static std::unique_ptr<Compositor> create(int32_t width, int32_t height, PixelColour background,
                                              CompositorSettings settings = {});

    // Draws every row of the target, or with field 0 or 1 only the rows of that parity.
    // Allocates nothing. One call at a time.
    void compose(FrameBuffer& target, const DrawList& items, int32_t field = -1);

    int32_t threads() const { return workers_.threads(); }

private:
    Compositor(std::unique_ptr<FrameBuffer> background, CompositorSettings settings);
    void composeBand(FrameBuffer& target, const DrawList& items, int32_t field, int32_t top,
                     int32_t bottom) const;

    std::unique_ptr<FrameBuffer> background_;
    int32_t bandRows_;
    WorkerPool workers_;
};

} // namespace kavelin
