#pragma once

#include "base/Result.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kavelin {

// Frames per second as a fraction (25/1, 30000/1001). Times are computed from the frame count,
// so a clock that follows them never drifts: 2997 frames of 30000/1001 take exactly 100 s.
struct FrameRate {
    int64_t numerator = 25;
    int64_t denominator = 1;

    // When frame n falls, from the clock's start: n * denominator / numerator seconds, rounded
    // down to the nanosecond.
    std::chrono::nanoseconds timeOf(int64_t frame) const;
    std::chrono::nanoseconds period() const { return timeOf(1); }
    double perSecond() const { return double(numerator) / double(denominator); }
};

// The picture the engine makes: its size, rate and scan. Interlaced frames are two woven
// fields, the upper one (rows 0, 2, 4, ...) first in time, and the animations advance once per
// field.
struct Format {
    std::string name = "pal";
    int32_t width = 720;
    int32_t height = 576;
    FrameRate rate;
    bool interlaced = false;

    int32_t fieldsPerFrame() const { return interlaced ? 2 : 1; }
};

// A named format (pal, 720p50, 1080i50, ...) or WxH@RATE[i] with RATE N or N/D frames a second.
Result<Format> parseFormat(std::string_view text);
// The accepted forms, on one line, for messages and the help text.
const char* formatChoices();

} // namespace kavelin
