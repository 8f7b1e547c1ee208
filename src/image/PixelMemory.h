#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kavelin {

// Frees a pixel array and gives its bytes back to the memory budget.
struct PixelRelease {
    uint64_t counted = 0;
    void operator()(uint8_t* p) const;
};

using PixelArray = std::unique_ptr<uint8_t[], PixelRelease>;

// Largest pixel array handed out: 2^28 pixels, 1 GiB.
constexpr int64_t kMaxPixelCount = int64_t{1} << 28;

// What a pixel array counts against the memory budget besides its pixels: the bookkeeping of
// the picture that holds it, so that many tiny pictures are bounded too.
constexpr uint64_t kPixelArrayOverhead = 128;

// An array of width x height pixels, zeroed unless the caller overwrites every pixel anyway, or
// none when a size is negative, the count exceeds kMaxPixelCount, the memory budget has no
// room for it or the memory is not granted (both of which the thread's MemoryWatch hears of).
// A 0 x 0 array is a valid, non-null array. `quiet` keeps both troubles from the MemoryWatch, for
// callers that do without the array (a command then still succeeds).
enum class Fill { Zero, Unset };
PixelArray allocatePixels(int64_t width, int64_t height, Fill fill = Fill::Zero,
                          bool quiet = false);

} // namespace kavelin
