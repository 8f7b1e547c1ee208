#pragma once

#include "image/FrameBuffer.h"
#include "image/Image.h"
#include "layers/DrawItem.h"

#include <cstdint>
#include <memory>

namespace kavelin {

// Composes frames: the background, then every visible layer's picture in drawing order.
class Compositor {
public:
    // None when the background's memory cannot be had.
    static std::unique_ptr<Compositor> create(int32_t width, int32_t height,
                                              PixelColour background);

    // Draws every row of the target, or with field 0 or 1 only the rows of that parity.
    // Allocates nothing.
    void compose(FrameBuffer& target, const DrawList& items, int32_t field = -1) const;

private:
    explicit Compositor(std::unique_ptr<FrameBuffer> background);
    std::unique_ptr<FrameBuffer> background_;
};

} // namespace kavelin
