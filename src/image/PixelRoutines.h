#pragma once

#include <cstddef>
#include <cstdint>

namespace kavelin {

class FrameBuffer;

// Raw 32-bit pixel routines (bytes blue, green, red, alpha; straight alpha). The pitch forms
// address pixel (x, y) at byte y * pitch + x * 4, the stride forms at (y * stride + x) * 4.
// Callers keep every rectangle inside both buffers (clip with clipRect first).
//
// Blends come in two arithmetic forms: every complete group of four pixels from the start of a
// row uses the four-pixel form (reciprocal table, 16-bit lanes); the last one to three pixels
// use the single form (true division). Both are reproduced bit for bit by every
// implementation. Opacity is 0..255; the four-pixel form clamps other values into that range,
// the single form uses the low byte.

// Q[x] = floor(65535 / x), Q[0] = 65535.
extern const uint16_t kReciprocal[256];

void copyRow(uint8_t* dst, const uint8_t* src, size_t byteCount);
// Four-pixel form with the transparent-destination rule, single form for the rest.
void blendRow(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity);
// blendRow at opacity 255 for a source whose every pixel has alpha 255: the result then does
// not depend on the destination's colours, and no division is needed.
void blendOpaqueRow(uint8_t* dst, const uint8_t* src, int32_t count);

void copyRect(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
              int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h);
// Rows dy, dy + 2, ... from source rows sy, sy + 2, ...: (h + 1) / 2 rows.
void copyRectField(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
                   int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h);
void blendRect(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
               int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h, int32_t opacity);
void blendRectField(uint8_t* dst, int32_t dstPitch, int32_t dx, int32_t dy, const uint8_t* src,
                    int32_t srcPitch, int32_t sx, int32_t sy, int32_t w, int32_t h,
                    int32_t opacity);

// field 2 copies every row; field 0 or 1 only the target rows of that parity.
void copyFrame(FrameBuffer& target, int32_t dx, int32_t dy, const FrameBuffer& source, int32_t sx,
               int32_t sy, int32_t w, int32_t h, int32_t field);

void copyImage(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
               int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h);
// Four-pixel form without the transparent-destination rule, single form for the rest.
void blendImage(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
                int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h, int32_t opacity);
// Source over destination with the source's own alpha; the resulting alpha is capped at the
// low byte of cap.
void blendImageCapped(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
                      int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h, int32_t cap);
// kind 0 mode 0: copy; kind 1 mode 0: blend at 255; kind 1 mode 1: capped at value;
// kind 1 mode 2: blend at value; anything else draws nothing.
void blitImage(uint8_t* dst, int32_t dx, int32_t dy, int32_t dstStride, const uint8_t* src,
               int32_t sx, int32_t sy, int32_t srcStride, int32_t w, int32_t h, int32_t kind,
               int32_t mode, int32_t value);

struct ClippedRect {
    int32_t srcX = 0; // how far into the source the visible part starts
    int32_t srcY = 0;
    int32_t x = 0; // where it lands inside the bounds
    int32_t y = 0;
    int32_t w = 0; // 0 or less: nothing visible
    int32_t h = 0;
};

// Clips (x, y, w, h) against (0, 0, boundWidth, boundHeight). Exact whenever the result has a
// positive size; values that would not fit 32 bits saturate (the result is then empty).
ClippedRect clipRect(int32_t x, int32_t y, int32_t w, int32_t h, int32_t boundWidth,
                     int32_t boundHeight);

} // namespace kavelin
