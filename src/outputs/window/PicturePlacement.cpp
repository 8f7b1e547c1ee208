#include "outputs/window/PicturePlacement.h"

#include <algorithm>

namespace kavelin {

PicturePlacement placePicture(int32_t frameWidth, int32_t frameHeight, int32_t clientWidth,
                              int32_t clientHeight, bool scale) {
    const int32_t cw = std::max(clientWidth, 0);
    const int32_t ch = std::max(clientHeight, 0);
    int32_t w = frameWidth;
    int32_t h = frameHeight;
    // The ratio is computed first, in double precision, and the product cut towards zero: the
    // exact arithmetic operators see (719 wide gives 575.2, shown as 575 rows).
    if (scale && frameWidth > 0 && frameHeight > 0) {
        if (cw < w) {
            h = static_cast<int32_t>(static_cast<double>(frameHeight) / frameWidth * cw);
            w = cw;
        }
        if (ch < h) {
            w = static_cast<int32_t>(static_cast<double>(frameWidth) / frameHeight * ch);
            h = ch;
        }
    }
    // Halving by arithmetic shift rounds towards minus infinity; a picture larger than the
    // client area starts at its top-left corner.
    const int64_t x0 = (int64_t{cw} - w) >> 1;
    const int64_t y0 = (int64_t{ch} - h) >> 1;
    return {static_cast<int32_t>(std::max<int64_t>(x0, 0)),
            static_cast<int32_t>(std::max<int64_t>(y0, 0)), w, h};
}

} // namespace kavelin
