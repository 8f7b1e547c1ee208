#include "image/DrawCursor.h"

#include "image/SaturatingMath.h"

namespace kavelin {

namespace {

int64_t anchorOffset(int32_t align, int32_t size) {
    switch (align) {
    case 1:
        return size;
    case 2:
        return size / 2;
    default:
        return 0;
    }
}

} // namespace

void DrawCursor::set(int32_t x, int32_t y, int32_t alignHorizontal, int32_t alignVertical,
                     int32_t grow, int32_t kind, int32_t mode, int32_t value) {
    setPosition(x, y, alignHorizontal, alignVertical);
    growToFit = static_cast<uint8_t>(grow & 0xFF);
    drawKind = kind;
    drawMode = mode;
    drawValue = value;
}

void DrawCursor::setPosition(int32_t x, int32_t y, int32_t alignHorizontal, int32_t alignVertical) {
    cursorX = x;
    cursorY = y;
    alignX = alignHorizontal;
    alignY = alignVertical;
}

Point DrawCursor::anchor(int32_t width, int32_t height) const {
    return {saturate(cursorX + anchorOffset(alignX, width)),
            saturate(cursorY + anchorOffset(alignY, height))};
}

} // namespace kavelin
