#pragma once

#include "image/PixelMemory.h"

#include <cstdint>

namespace kavelin {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Bytes of one pixel in the order red, green, blue, alpha.
struct PixelColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
};

// A heap picture with tightly packed rows (pixel (x, y) at byte (y * width + x) * 4), a drawing
// cursor and the settings with which other Images are drawn into it.
class Image {
public:
    // Largest Image: 2^28 pixels (1 GiB).
    static constexpr int64_t kMaxPixels = kMaxPixelCount;

    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Zeroed pixels of the new size. Fails (leaving 0 x 0 without pixels) on a negative size,
    // more than kMaxPixels pixels or memory that is not granted. 0 x 0 is valid.
    bool allocate(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint8_t* pixels() { return pixels_.get(); }
    const uint8_t* pixels() const { return pixels_.get(); }
    bool growsToFit() const { return growToFit_ == 1; }

    int32_t cursorX() const { return cursorX_; }
    int32_t cursorY() const { return cursorY_; }
    int32_t alignX() const { return alignX_; }
    int32_t alignY() const { return alignY_; }
    int32_t drawKind() const { return drawKind_; }
    int32_t drawMode() const { return drawMode_; }
    int32_t drawValue() const { return drawValue_; }

    // True when there are pixels and the rectangle lies inside them.
    bool containsRect(int32_t x, int32_t y, int32_t w, int32_t h) const;
    // All zero without pixels or outside the Image.
    PixelColour pixelAt(int32_t x, int32_t y) const;

    // growToFit keeps the low 8 bits of the value; drawing grows only when they are 1.
    bool setCursor(int32_t cursorX, int32_t cursorY, int32_t alignX, int32_t alignY,
                   int32_t growToFit, int32_t drawKind, int32_t drawMode, int32_t drawValue);
    bool setCursorPosition(int32_t cursorX, int32_t cursorY, int32_t alignX, int32_t alignY);
    // Where drawImage puts the source's top-left corner: alignment 0 left/top, 1 right/bottom,
    // 2 centre; any other value counts as 0. Saturates at the 32-bit limits.
    Point cursorAnchor() const;

    // Draws the w x h region of source at (sx, sy) at the cursor anchor with the draw settings,
    // growing this Image or clipping against it. Fails when the region is not inside source.
    // Drawing an Image into itself reads a copy of the region.
    bool drawImage(const Image* source, int32_t sx, int32_t sy, int32_t w, int32_t h);
    // Enlarges the Image with zero pixels so that the rectangle fits; position receives the
    // rectangle's place in the enlarged Image. Fails with the Image unchanged.
    bool growToInclude(int32_t x, int32_t y, int32_t w, int32_t h, Point& position);
    // Keeps the part inside the rectangle; nothing inside leaves 0 x 0 without pixels.
    bool crop(int32_t x, int32_t y, int32_t w, int32_t h);

private:
    void release();

    PixelArray pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t cursorX_ = 0;
    int32_t cursorY_ = 0;
    int32_t alignX_ = 0;
    int32_t alignY_ = 0;
    uint8_t growToFit_ = 0;
    int32_t drawKind_ = 0;
    int32_t drawMode_ = 0;
    int32_t drawValue_ = 0;
};

} // namespace kavelin
