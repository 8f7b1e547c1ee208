#include "engine/Format.h"

#include "image/PixelMemory.h"

#include <array>
#include <charconv>

namespace kavelin {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr int32_t kMaxSide = 16384;
constexpr int64_t kMaxRate = 1000;

struct NamedFormat {
    const char* name;
    int32_t width, height;
    int64_t numerator, denominator;
    bool interlaced;
};

constexpr std::array<NamedFormat, 11> kNamed = {{
    {"pal", 720, 576, 25, 1, false},
    {"720p50", 1280, 720, 50, 1, false},
    {"720p5994", 1280, 720, 60000, 1001, false},
    {"1080i50", 1920, 1080, 25, 1, true},
    {"1080i5994", 1920, 1080, 30000, 1001, true},
    {"1080p25", 1920, 1080, 25, 1, false},
    {"1080p2997", 1920, 1080, 30000, 1001, false},
    {"1080p50", 1920, 1080, 50, 1, false},
    {"1080p5994", 1920, 1080, 60000, 1001, false},
    {"2160p25", 3840, 2160, 25, 1, false},
    {"2160p50", 3840, 2160, 50, 1, false},
}};

// A whole positive decimal number taking the whole text.
bool parsePositive(std::string_view text, int64_t& value) {
    if (text.empty() || text.size() > 9)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value > 0;
}

Error invalid(std::string_view text) {
    return failure("unknown format '" + std::string(text) + "'; accepted: " + formatChoices());
}

} // namespace

std::chrono::nanoseconds FrameRate::timeOf(int64_t frame) const {
    // In 128 bits: the product of a frame count, a nine-digit denominator and 10^9 does not
    // fit 64.
    const __int128 ns = __int128{frame} * denominator * kNanosecondsPerSecond / numerator;
    const __int128 limit = INT64_MAX;
    return std::chrono::nanoseconds(static_cast<int64_t>(ns > limit ? limit : ns));
}

const char* formatChoices() {
    return "pal, 720p50, 720p5994, 1080i50, 1080i5994, 1080p25, 1080p2997, 1080p50, 1080p5994, "
           "2160p25, 2160p50, or WxH@RATE[i] with RATE N or N/D frames a second "
           "(1920x1080@30000/1001, 1920x1080@25i)";
}

Result<Format> parseFormat(std::string_view text) {
    for (const NamedFormat& named : kNamed)
        if (text == named.name)
            return Format{named.name,
                          named.width,
                          named.height,
                          {named.numerator, named.denominator},
                          named.interlaced};

    const size_t x = text.find('x');
    const size_t at = text.find('@');
    if (x == std::string_view::npos || at == std::string_view::npos || at < x)
        return invalid(text);
    int64_t width = 0, height = 0, numerator = 0, denominator = 1;
    std::string_view rate = text.substr(at + 1);
    const bool interlaced = !rate.empty() && rate.back() == 'i';
    if (interlaced)
        rate.remove_suffix(1);
    const size_t slash = rate.find('/');
    if (!parsePositive(text.substr(0, x), width) ||
        !parsePositive(text.substr(x + 1, at - x - 1), height) ||
        !parsePositive(rate.substr(0, slash), numerator) ||
        (slash != std::string_view::npos && !parsePositive(rate.substr(slash + 1), denominator)))
        return invalid(text);
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixelCount)
        return failure("format '" + std::string(text) + "': at most " + std::to_string(kMaxSide) +
                       " pixels a side");
    if (interlaced && height % 2 != 0)
        return failure("format '" + std::string(text) +
                       "': an interlaced frame needs an even height");
    if (numerator < denominator || numerator > kMaxRate * denominator)
        return failure("format '" + std::string(text) + "': the rate must be 1 to " +
                       std::to_string(kMaxRate) + " frames a second");
    return Format{
        std::string(text), int32_t(width), int32_t(height), {numerator, denominator}, interlaced};
}

} // namespace kavelin
