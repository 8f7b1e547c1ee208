#include "image/Image.h"

#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"

#include <algorithm>
#include <utility>

namespace kavelin {

Image& Image::operator=(Image&& other) noexcept {
    pixels_ = std::move(other.pixels_);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    coverage_ = std::move(other.coverage_);
    covered_.store(other.covered_.exchange(false));
    return *this;
}

const RowCoverage* Image::coverage() const {
    if (!covered_.load(std::memory_order_acquire) || coverage_.empty())
        return nullptr;
    return &coverage_;
}

void Image::updateCoverage() const {
    if (covered_.load(std::memory_order_acquire))
        return;
    coverage_.measure(pixels_.get(), width_, height_);
    covered_.store(true, std::memory_order_release);
}

void Image::release() {
    covered_.store(false, std::memory_order_relaxed);
    coverage_.clear();
    pixels_.reset();
    width_ = 0;
    height_ = 0;
}

std::unique_ptr<Image> Image::clone() const {
    auto copy = std::make_unique<Image>();
    if (!pixels_)
        return copy;
    if (!copy->allocate(width_, height_, Fill::Unset))
        return nullptr;
    copyImage(copy->pixels(), 0, 0, width_, pixels(), 0, 0, width_, width_, height_);
    return copy;
}

bool Image::allocate(int32_t width, int32_t height, Fill fill) {
    release();
    PixelArray pixels = allocatePixels(width, height, fill);
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

bool Image::drawImage(const DrawCursor& cursor, const Image& source, int32_t sx, int32_t sy,
                      int32_t w, int32_t h) {
    if (!source.containsRect(sx, sy, w, h))
        return false;
    if (&source == this) {
        // Growing would free the array being read and the rows may overlap: draw a copy.
        Image region;
        if (!region.allocate(w, h))
            return false;
        copyImage(region.pixels(), 0, 0, w, pixels(), sx, sy, width_, w, h);
        return drawImage(cursor, region, 0, 0, w, h);
    }
    Point at = cursor.anchor(width_, height_);
    int32_t ex = 0, ey = 0;
    if (cursor.growsToFit()) {
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
    blitImage(pixels(), at.x, at.y, width_, source.pixels(), sx + ex, sy + ey, source.width_, w, h,
              cursor.drawKind, cursor.drawMode, cursor.drawValue);
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
    covered_.store(false, std::memory_order_relaxed);
    pixels_ = std::move(grown);
    width_ = static_cast<int32_t>(newWidth);
    height_ = static_cast<int32_t>(newHeight);
    position = placed;
    return true;
}

std::unique_ptr<Image> Image::cropped(int32_t x, int32_t y, int32_t w, int32_t h) const {
    auto kept = std::make_unique<Image>();
    const ClippedRect clip = clipRect(x, y, w, h, width_, height_);
    if (clip.w <= 0 || clip.h <= 0)
        return kept;
    if (!kept->allocate(clip.w, clip.h, Fill::Unset))
        return nullptr;
    copyImage(kept->pixels(), 0, 0, clip.w, pixels_.get(), clip.x, clip.y, width_, clip.w, clip.h);
    return kept;
}

bool Image::crop(int32_t x, int32_t y, int32_t w, int32_t h) {
    std::unique_ptr<Image> kept = cropped(x, y, w, h);
    if (!kept)
        return false;
    *this = std::move(*kept);
    return true;
}

} // namespace kavelin
