#pragma once

#include "image/Image.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace kavelin {

// The part of a layer's picture drawn in one frame, relative to the window's top-left corner.
struct DrawRect {
    int32_t srcX = 0, srcY = 0;
    int32_t dstX = 0, dstY = 0;
    int32_t width = 0, height = 0;
};

// What the frame path needs of one visible layer to draw it: taken under the scene's lock,
// drawn without it. The picture is shared, so a command may replace it meanwhile.
struct DrawItem {
    std::shared_ptr<const Image> image;
    std::array<DrawRect, 2> rects{};
    int32_t rectCount = 0;
    int32_t originX = 0; // the layer's position plus its set's
    int32_t originY = 0;
    int32_t opacity = 255; // 0 to 255
    bool copy = false;     // blend mode 0: the pixels replace what is below
};

using DrawList = std::vector<DrawItem>;

} // namespace kavelin
