#include "image/PixelRoutines.h"

#include "image/FrameBuffer.h"
#include "image/PixelKernels.h"
#include "image/SaturatingMath.h"

#include <climits>
#include <cstring>

namespace kavelin {

namespace {

// Offsets are computed in 64 bits: callers keep rectangles inside their buffers, but the
// products of 32-bit coordinates and pitches must not overflow on the way.
inline ptrdiff_t pitchOffset(int64_t pitch, int64_t x, int64_t y) {
    return static_cast<ptrdiff_t>(y * pitch + x * 4);
}

inline ptrdiff_t strideOffset(int64_t stride, int64_t x, int64_t y) {
    return static_cast<ptrdiff_t>((y * stride + x) * 4);
}

// Copies `rows` rows of `rowBytes`, stepping the given byte distances; one block copy when
// the rows are contiguous on both sides.
void copyRows(uint8_t* dst, ptrdiff_t dstStep, const uint8_t* src, ptrdiff_t srcStep,
              size_t rowBytes, int64_t rows) {
    if (dstStep == srcStep && static_cast<size_t>(dstStep) == rowBytes) {
        std::memcpy(dst, src, rowBytes * static_cast<size_t>(rows));
        return;
    }
    for (int64_t r = 0; r < rows; ++r, dst += dstStep, src += srcStep)
        std::memcpy(dst, src, rowBytes);
}

template <typename Kernel>
void blendRows(Kernel kernel, uint8_t* dst, ptrdiff_t dstStep, const uint8_t* src,
               ptrdiff_t srcStep, int32_t w, int64_t rows, int32_t value) {
    for (int64_t r = 0; r < rows; ++r, dst += dstStep, src += srcStep)
        kernel(dst, src, w, value);
}

void copyPitched(uint8_t* dst, int64_t dstPitch, int64_t dx, int64_t dy, const uint8_t* src,
                 int64_t srcPitch, int64_t sx, int64_t sy, int64_t w, int64_t h, int rowStep) {
    if (w < 1 || h < 1)
        return;
    const int64_t rows = rowStep == 1 ? h : (h + 1) / 2;
    copyRows(dst + pitchOffset(dstPitch, dx, dy), static_cast<ptrdiff_t>(dstPitch * rowStep),
             src + pitchOffset(srcPitch, sx, sy), static_cast<ptrdiff_t>(srcPitch * rowStep),
             static_cast<size_t>(w) * 4, rows);
}

void blendPitched(uint8_t* dst, int64_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
                  int64_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t opacity,
                  int rowStep) {
    if (w < 1 || h < 1 || opacity == 0)
        return;
    const int64_t rows = rowStep == 1 ? h : (int64_t{h} + 1) / 2;
    blendRows(activeKernels().blendRow, dst + pitchOffset(dstPitch, dx, dy),
              static_cast<ptrdiff_t>(dstPitch * rowStep), src + pitchOffset(srcPitch, sx, sy),
              static_cast<ptrdiff_t>(srcPitch * rowStep), w, rows, opacity);
}

void clipAxis(int64_t x, int64_t w, int64_t bound, int32_t& srcOut, int32_t& xOut, int32_t& wOut) {
    int64_t src = 0, pos = x, size = w;
    if (x < 0) {
        src = -x;
        size = x + w;
        pos = 0;
    }
    if (x + w > bound)
        size += bound - x - w;
    srcOut = saturate(src);
    xOut = saturate(pos);
    wOut = saturate(size);
}

} // namespace

void copyRow(uint8_t* dst, const uint8_t* src, size_t byteCount) {
    if (byteCount > 0)
        std::memcpy(dst, src, byteCount);
}

void blendRow(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity) {
    if (opacity == 0)
        return;
    activeKernels().blendRow(dst, src, count, opacity);
}

void blendOpaqueRow(uint8_t* dst, const uint8_t* src, int32_t count) {
    activeKernels().blendOpaqueRow(dst, src, count);
}

void copyRect(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
              int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h) {
    copyPitched(dst, dstPitch, dx, dy, src, srcPitch, sx, sy, w, h, 1);
}

void copyRectField(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
                   int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h) {
    copyPitched(dst, dstPitch, dx, dy, src, srcPitch, sx, sy, w, h, 2);
}

void blendRect(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
               int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t opacity) {
    blendPitched(dst, dstPitch, dx, dy, src, srcPitch, sx, sy, w, h, opacity, 1);
}

void blendRectField(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
                    int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h,
                    int32_t opacity) {
    blendPitched(dst, dstPitch, dx, dy, src, srcPitch, sx, sy, w, h, opacity, 2);
}

void copyFrame(FrameBuffer& target, int32_t dx, int32_t dy, const FrameBuffer& source, int32_t sx,
               int32_t sy, int32_t w, int32_t h, int32_t field) {
    if (field == 2) {
        copyPitched(target.pixels(), target.pitch(), dx, dy, source.pixels(), source.pitch(), sx,
                    sy, w, h, 1);
        return;
    }
    int64_t y = dy, fromY = sy, rows = h;
    if (dy % 2 != field) {
        ++y;
        ++fromY;
        --rows;
    }
    copyPitched(target.pixels(), target.pitch(), dx, y, source.pixels(), source.pitch(), sx, fromY,
                w, rows, 2);
}

void copyImage(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
               int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h) {
    if (w < 1 || h < 1)
        return;
    copyRows(dst + strideOffset(dstStride, dx, dy), static_cast<ptrdiff_t>(dstStride) * 4,
             src + strideOffset(srcStride, sx, sy), static_cast<ptrdiff_t>(srcStride) * 4,
             static_cast<size_t>(w) * 4, h);
}

void blendImage(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
                int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h, int32_t opacity) {
    if (w < 1 || h < 1)
        return;
    blendRows(activeKernels().blendImageRow, dst + strideOffset(dstStride, dx, dy),
              static_cast<ptrdiff_t>(dstStride) * 4, src + strideOffset(srcStride, sx, sy),
              static_cast<ptrdiff_t>(srcStride) * 4, w, h, opacity);
}

void blendImageCapped(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
                      int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h,
                      int32_t cap) {
    if (w < 1 || h < 1)
        return;
    const uint8_t capByte = static_cast<uint8_t>(cap & 0xFF);
    auto kernel = activeKernels().blendCappedRow;
    uint8_t* d = dst + strideOffset(dstStride, dx, dy);
    const uint8_t* s = src + strideOffset(srcStride, sx, sy);
    for (int32_t r = 0; r < h; ++r, d += ptrdiff_t{dstStride} * 4, s += ptrdiff_t{srcStride} * 4)
        kernel(d, s, w, capByte);
}

void blitImage(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
               int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h, int32_t kind,
               int32_t mode, int32_t value) {
    if (kind == 0 && mode == 0) {
        copyImage(dst, dx, dy, dstStride, src, sx, sy, srcStride, w, h);
    } else if (kind == 1) {
        if (mode == 0)
            blendImage(dst, dx, dy, dstStride, src, sx, sy, srcStride, w, h, 255);
        else if (mode == 1)
            blendImageCapped(dst, dx, dy, dstStride, src, sx, sy, srcStride, w, h, value);
        else if (mode == 2)
            blendImage(dst, dx, dy, dstStride, src, sx, sy, srcStride, w, h, value);
    }
}

ClippedRect clipRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t boundWidth,
                     int32_t boundHeight) {
    ClippedRect r;
    clipAxis(x, w, boundWidth, r.srcX, r.x, r.w);
    clipAxis(y, h, boundHeight, r.srcY, r.y, r.h);
    return r;
}

} // namespace kavelin
