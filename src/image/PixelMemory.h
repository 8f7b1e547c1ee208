#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kavelin {

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

using PixelArray = std::unique_ptr<uint8_t[], FreeDeleter>;

// Largest pixel array handed out: 2^28 pixels, 1 GiB.
constexpr int64_t kMaxPixelCount = int64_t{1} << 28;

// An array of width x height pixels, zeroed unless the caller overwrites every pixel anyway, or
// none when a size is negative, the count exceeds kMaxPixelCount or the memory is not granted.
// A 0 x 0 array is a valid, non-null array.
enum class Fill { Zero, Unset };
PixelArray allocatePixels(int64_t width, int64_t height, Fill fill = Fill::Zero);

} // namespace kavelin
