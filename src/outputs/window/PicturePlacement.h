#pragma once

#include <cstdint>

namespace kavelin {

// Where a frame lands in a window's client area: top-left corner and size, in client pixels.
struct PicturePlacement {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Places a frame of frameWidth x frameHeight in a client area of clientWidth x clientHeight.
// Unscaled, the picture keeps its size and is centred (a smaller client area shows its top-left
// part). Scaled, it is only ever shrunk to fit, keeping the frame's aspect ratio, then centred.
// Negative client sizes count as 0; a frame without area is never scaled.
PicturePlacement placePicture(int32_t frameWidth, int32_t frameHeight, int32_t clientWidth,
                              int32_t clientHeight, bool scale);

} // namespace kavelin
