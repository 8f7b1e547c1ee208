#include "text/LineInk.h"

#include <algorithm>
#include <cstring>

namespace kavelin {

namespace {

// Runs begin and end on multiples of four columns (or at the row's end).
constexpr int32_t kChunk = 4;
// Blank columns that end a run: shorter gaps stay inside it, where blending them costs less
// than starting another run.
constexpr int32_t kGap = 32;

} // namespace

// Adds the runs of one row from the stretches of ink found in it, left to right.
class LineInk::RowRuns {
public:
    explicit RowRuns(std::vector<Run>& runs) : runs_(runs) {}
    void finish() {
        if (begin_ >= 0)
            runs_.push_back({begin_, end_});
    }
    void ink(int32_t first, int32_t last) {
        if (begin_ >= 0 && first - end_ >= kGap) {
            runs_.push_back({begin_, end_});
            begin_ = -1;
        }
        if (begin_ < 0)
            begin_ = first;
        end_ = last;
    }

private:
    std::vector<Run>& runs_;
    int32_t begin_ = -1, end_ = -1;
};

void LineInk::startScan(int32_t height) {
    runs_.clear();
    rowStart_.assign(static_cast<size_t>(std::max(height, 0)) + 1, 0);
}

void LineInk::endRow(int32_t y) {
    rowStart_[static_cast<size_t>(y) + 1] = static_cast<uint32_t>(runs_.size());
}

void LineInk::scanCoverage(const uint8_t* coverage, int32_t width, int32_t height) {
    startScan(height);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = coverage + static_cast<size_t>(y) * static_cast<size_t>(width);
        RowRuns runs(runs_);
        int32_t x = 0;
        for (; x + 2 * kChunk <= width; x += 2 * kChunk) {
            uint32_t low, high;
            std::memcpy(&low, row + x, 4);
            std::memcpy(&high, row + x + 4, 4);
            if ((low | high) != 0)
                runs.ink(low != 0 ? x : x + kChunk, high != 0 ? x + 2 * kChunk : x + kChunk);
        }
        if (std::any_of(row + x, row + width, [](uint8_t a) { return a != 0; }))
            runs.ink(x, width);
        runs.finish();
        endRow(y);
    }
}

void LineInk::scanPixels(const uint8_t* pixels, int32_t width, int32_t height) {
    startScan(height);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        RowRuns runs(runs_);
        for (int32_t x = 0; x < width; x += kChunk) {
            const int32_t stop = std::min(x + kChunk, width);
            for (int32_t i = x; i < stop; ++i)
                if (row[static_cast<size_t>(i) * 4 + 3] != 0) {
                    runs.ink(x, stop);
                    break;
                }
        }
        runs.finish();
        endRow(y);
    }
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
