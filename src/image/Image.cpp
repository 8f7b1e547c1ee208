#include "image/Image.h"

#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <algorithm>

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

void Image::release() {
    pixels_.reset();
    width_ = 0;
    height_ = 0;
}

bool Image::allocate(int32_t width, int32_t height) {
    release();
    PixelArray pixels = allocatePixels(width, height);
    if (!pixels)
        return false;
    pixels_ = std::move(pixels);
    width_ = width;
    height_ = height;
    return true;
}

bool Image::containsRect(int32_t x, int32_t y, int32_t w, int32_t h) const {
    return pixels_ && x >= 0 && y >= 0 && w >= 0 && h >= 0 && int64_t{x} + w <= width_ &&
           int64_t{y} + h <= height_;
}

PixelColour Image::pixelAt(int32_t x, int32_t y) const {
    if (!pixels_ || x < 0 || y < 0 || x >= width_ || y >= height_)
        return {};
    const uint8_t* p = pixels_.get() + (int64_t{y} * width_ + x) * 4;
    return {p[2], p[1], p[0], p[3]};
}

bool Image::setCursor(int32_t cursorX, int32_t cursorY, int32_t alignX, int32_t alignY,
                      int32_t growToFit, int32_t drawKind, int32_t drawMode, int32_t drawValue) {
    setCursorPosition(cursorX, cursorY, alignX, alignY);
    growToFit_ = static_cast<uint8_t>(growToFit & 0xFF);
    drawKind_ = drawKind;
    drawMode_ = drawMode;
    drawValue_ = drawValue;
    return true;
}

bool Image::setCursorPosition(int32_t cursorX, int32_t cursorY, int32_t alignX, int32_t alignY) {
    cursorX_ = cursorX;
    cursorY_ = cursorY;
    alignX_ = alignX;
    alignY_ = alignY;
    return true;
}

Point Image::cursorAnchor() const {
    return {saturate(cursorX_ + anchorOffset(alignX_, width_)),
            saturate(cursorY_ + anchorOffset(alignY_, height_))};
}

bool Image::drawImage(const Image* source, int32_t sx, int32_t sy, int32_t w, int32_t h) {
    if (source == nullptr || !source->containsRect(sx, sy, w, h))
        return false;
    if (source == this) {
        // Growing would free the array being read and the rows may overlap: draw a copy.
        Image region;
        if (!region.allocate(w, h))
            return false;
        copyImage(region.pixels(), 0, 0, w, pixels(), sx, sy, width_, w, h);
        return drawImage(&region, 0, 0, w, h);
    }
    Point at = cursorAnchor();
    int32_t ex = 0, ey = 0;
    if (growsToFit()) {
        if (!growToInclude(at.x, at.y, w, h, at))
            return false;
    } else {
        const ClippedRect clip = clipRect(at.x, at.y, w, h, width_, height_);
        ex = clip.srcX;
        ey = clip.srcY;
        at = {clip.x, clip.y};
        w = clip.w;
        h = clip.h;
    }
    if (w <= 0 || h <= 0)
        return true;
    blitImage(pixels(), at.x, at.y, width_, source->pixels(), sx + ex, sy + ey, source->width_, w,
              h, drawKind_, drawMode_, drawValue_);
    return true;
}

bool Image::growToInclude(int32_t x, int32_t y, int32_t w, int32_t h, Point& position) {
    const int64_t padLeft = x < 0 ? -int64_t{x} : 0;
    const int64_t padTop = y < 0 ? -int64_t{y} : 0;
    const int64_t padRight = std::max<int64_t>(int64_t{x} + w - width_, 0);
    const int64_t padBottom = std::max<int64_t>(int64_t{y} + h - height_, 0);
    const Point placed{std::max(x, 0), std::max(y, 0)};
    if (padLeft == 0 && padTop == 0 && padRight == 0 && padBottom == 0) {
        position = placed;
        return true;
    }
    const int64_t newWidth = width_ + padLeft + padRight;
    const int64_t newHeight = height_ + padTop + padBottom;
    PixelArray grown = allocatePixels(newWidth, newHeight);
    if (!grown)
        return false;
    // Both sizes are at most kMaxPixels here, so they fit 32 bits.
    copyImage(grown.get(), static_cast<int32_t>(padLeft), static_cast<int32_t>(padTop),
              static_cast<int32_t>(newWidth), pixels_.get(), 0, 0, width_, width_, height_);
    pixels_ = std::move(grown);
    width_ = static_cast<int32_t>(newWidth);
    height_ = static_cast<int32_t>(newHeight);
    position = placed;
    return true;
}

bool Image::crop(int32_t x, int32_t y, int32_t w, int32_t h) {
    const ClippedRect clip = clipRect(x, y, w, h, width_, height_);
    if (clip.w <= 0 || clip.h <= 0) {
        release();
        return true;
    }
    PixelArray kept = allocatePixels(clip.w, clip.h);
    if (!kept)
        return false;
    copyImage(kept.get(), 0, 0, clip.w, pixels_.get(), clip.x, clip.y, width_, clip.w, clip.h);
    pixels_ = std::move(kept);
    width_ = clip.w;
    height_ = clip.h;
    return true;
}

} // namespace kavelin
