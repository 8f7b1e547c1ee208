// Reservation of font numbers: bookkeeping for clients that need free numbers. Loading,
// drawing and the queries do not look at it, and releasing a number keeps its fonts.
#include "engine/LogSink.h"
#include "engine/Renderer.h"

namespace kavelin {

int32_t Renderer::reserveFontNumber() {
    for (int32_t i = 0; i < kFontNumbers; ++i) {
        if (!fontReserved_[size_t(i)]) {
            fontReserved_[size_t(i)] = true;
            return i;
        }
    }
    return -1;
}

bool Renderer::releaseFontNumber(int32_t font) {
    if (!validFontNumber(font)) {
        log_.log("ERROR (releaseFontNumber) : Font number %d out of range.", font);
        return false;
    }
    if (!fontReserved_[size_t(font)]) {
        log_.log("ERROR (releaseFontNumber) : Font %d is not reserved!", font);
        return false;
    }
    fontReserved_[size_t(font)] = false;
    log_.log("Font number %d released.", font);
    return true;
}

bool Renderer::releaseAllFontNumbers() {
    fontReserved_.fill(false);
    log_.log("All fontnumbers released.");
    return true;
}

} // namespace kavelin
