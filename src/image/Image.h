#pragma once

#include "image/DrawCursor.h"
#include "image/PixelMemory.h"
#include "image/RowCoverage.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace kavelin {

// Bytes of one pixel in the order red, green, blue, alpha.
struct PixelColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
};

// A heap picture with tightly packed rows (pixel (x, y) at byte (y * width + x) * 4). Once a
// picture is shared with the frame path (as std::shared_ptr<const Image>) its pixels never
// change: a command that changes a picture draws into a copy and publishes the copy.
class Image {
public:
    // Largest Image: 2^28 pixels (1 GiB).
    static constexpr int64_t kMaxPixels = kMaxPixelCount;

    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    Image(Image&& other) noexcept { *this = std::move(other); }
    Image& operator=(Image&& other) noexcept;

    // A copy of the pixels; none when the memory is not granted.
    std::unique_ptr<Image> clone() const;

    // Pixels of the new size, zeroed unless the caller fills every one. Fails (leaving 0 x 0
    // without pixels) on a negative size, more than kMaxPixels pixels or memory that is not
    // granted. 0 x 0 is valid.
    bool allocate(int32_t width, int32_t height, Fill fill = Fill::Zero);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // Handing out the pixels for writing forgets the rows' spans.
    uint8_t* pixels() {
        covered_.store(false, std::memory_order_relaxed);
        return pixels_.get();
    }
    const uint8_t* pixels() const { return pixels_.get(); }

    // True when there are pixels and the rectangle lies inside them.
    bool containsRect(int32_t x, int32_t y, int32_t w, int32_t h) const;
    // All zero without pixels or outside the Image.
    PixelColour pixelAt(int32_t x, int32_t y) const;

    // Draws the w x h region of source at (sx, sy) at the cursor's anchor with its draw
    // settings, growing this Image or clipping against it. Fails when the region is not inside
    // source. Drawing an Image into itself reads a copy of the region.
    bool drawImage(const DrawCursor& cursor, const Image& source, int32_t sx, int32_t sy, int32_t w,
                   int32_t h);
    // Enlarges the Image with zero pixels so that the rectangle fits; position receives the
    // rectangle's place in the enlarged Image. Fails with the Image unchanged.
    bool growToInclude(int32_t x, int32_t y, int32_t w, int32_t h, Point& position);
    // The part inside the rectangle; nothing inside gives 0 x 0 without pixels. None when the
    // memory is not granted.
    std::unique_ptr<Image> cropped(int32_t x, int32_t y, int32_t w, int32_t h) const;
    // Keeps the part inside the rectangle; false, with the Image unchanged, without memory.
    bool crop(int32_t x, int32_t y, int32_t w, int32_t h);

    // The rows' spans, or none while they are not known: composition then draws whole rows.
    const RowCoverage* coverage() const;
    // Measures the rows when they are not known. Called by whoever shows a picture, never by
    // the frame path; the pixels must not change meanwhile.
    void updateCoverage() const;

private:
    void release();

    PixelArray pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    // Written only while not known, which a picture the frame path draws never is, so readers
    // that see covered_ true may read coverage_ without a lock.
    mutable RowCoverage coverage_;
    mutable std::atomic<bool> covered_{false};
};

} // namespace kavelin
