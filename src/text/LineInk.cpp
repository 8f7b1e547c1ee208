#include "text/LineInk.h"

#include <algorithm>
#include <cstring>

namespace kavelin {

namespace {

// Columns tested at a time; runs begin and end on its multiples (or at the row's end).
constexpr int32_t kChunk = 4;
// Columns of empty space passed over at a time between runs.
constexpr int32_t kSkip = 32;
// Blank columns that end a run: shorter gaps stay inside it, where blending them costs less
// than starting another run.
constexpr int32_t kGap = 32;

} // namespace

template <class AnyInk>
void LineInk::scan(int32_t width, int32_t height, AnyInk&& anyInk) {
    runs_.clear();
    rowStart_.assign(static_cast<size_t>(std::max(height, 0)) + 1, 0);
    for (int32_t y = 0; y < height; ++y) {
        int32_t begin = -1, end = -1; // the open run; it ends after kGap blank columns
        for (int32_t x = 0; x < width; x += kChunk) {
            if (begin < 0)
                while (x + kSkip <= width && !anyInk(y, x, x + kSkip))
                    x += kSkip;
            if (x >= width)
                break;
            const int32_t next = std::min(x + kChunk, width);
            if (anyInk(y, x, next)) {
                if (begin < 0)
                    begin = x;
                end = next;
            } else if (begin >= 0 && next - end >= kGap) {
                runs_.push_back({begin, end});
                begin = -1;
            }
        }
        if (begin >= 0)
            runs_.push_back({begin, end});
        rowStart_[static_cast<size_t>(y) + 1] = static_cast<uint32_t>(runs_.size());
    }
}

void LineInk::scanCoverage(const uint8_t* coverage, int32_t width, int32_t height) {
    scan(width, height, [&](int32_t y, int32_t x, int32_t end) {
        const uint8_t* p = coverage + static_cast<size_t>(y) * static_cast<size_t>(width);
        uint64_t any = 0;
        for (; x + 8 <= end; x += 8) {
            uint64_t v;
            std::memcpy(&v, p + x, 8);
            any |= v;
        }
        for (; x < end; ++x)
            any |= p[x];
        return any != 0;
    });
}

void LineInk::scanPixels(const uint8_t* pixels, int32_t width, int32_t height) {
    scan(width, height, [&](int32_t y, int32_t x, int32_t end) {
        const uint8_t* p = pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        uint32_t any = 0;
        for (; x < end; ++x) {
            uint32_t v;
            std::memcpy(&v, p + static_cast<size_t>(x) * 4, 4);
            any |= v;
        }
        return (any & 0xFF000000u) != 0;
    });
}

void LineInk::fill(int32_t width, int32_t height) {
    runs_.assign(static_cast<size_t>(std::max(height, 0)), Run{0, width});
    rowStart_.resize(static_cast<size_t>(std::max(height, 0)) + 1);
    for (size_t y = 0; y < rowStart_.size(); ++y)
        rowStart_[y] = static_cast<uint32_t>(y);
}

void LineInk::gather(int64_t y, int64_t start, int32_t count, int32_t widen) const {
    stretches_.clear();
    const int64_t full = count - count % 4; // pixels in whole groups of four
    for (int64_t row = std::max<int64_t>(y - widen, 0);
         row <= std::min<int64_t>(y + widen, int64_t{height()} - 1); ++row)
        for (const Run* run = rowBegin(row); run != rowEnd(row); ++run) {
            int64_t from = std::max<int64_t>(run->begin - widen - start, 0);
            int64_t to = std::min<int64_t>(run->end + widen - start, count);
            if (from >= to)
                continue;
            from -= from % 4;
            to = to > full ? count : to + 3 - (to + 3) % 4;
            stretches_.push_back({static_cast<int32_t>(from), static_cast<int32_t>(to)});
        }
    if (widen > 0)
        std::sort(stretches_.begin(), stretches_.end(),
                  [](const Run& a, const Run& b) { return a.begin < b.begin; });
    // Merge what overlaps or meets: no pixel may be blended twice.
    size_t kept = 0;
    for (const Run& run : stretches_) {
        if (kept > 0 && run.begin <= stretches_[kept - 1].end)
            stretches_[kept - 1].end = std::max(stretches_[kept - 1].end, run.end);
        else
            stretches_[kept++] = run;
    }
    stretches_.resize(kept);
}

} // namespace kavelin
