#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kavelin {

// Where a rendered line has ink: for each row, the runs of columns outside which every pixel
// is transparent. Blending a transparent stretch changes nothing, so the effects and the text
// blend only the runs, and a line's work follows its ink rather than its box.
class LineInk {
public:
    struct Run {
        int32_t begin, end; // columns [begin, end)
    };

    // From one alpha byte per pixel, or from 32-bit pixels (alpha in the fourth byte).
    void scanCoverage(const uint8_t* coverage, int32_t width, int32_t height);
    void scanPixels(const uint8_t* pixels, int32_t width, int32_t height);
    // Every row one run over the whole width: ink anywhere.
    void fill(int32_t width, int32_t height);

    int32_t height() const {
        return static_cast<int32_t>(rowStart_.empty() ? 0 : rowStart_.size() - 1);
    }
    const Run* rowBegin(int64_t y) const {
        return runs_.data() + rowStart_[static_cast<size_t>(y)];
    }
    const Run* rowEnd(int64_t y) const {
        return runs_.data() + rowStart_[static_cast<size_t>(y) + 1];
    }

    // The stretches of a blended row that starts at column `start` and is `count` pixels long
    // whose pixels can have ink from rows [y - widen, y + widen], each run widened by `widen`
    // columns: cut to the row, grown to whole groups of four pixels counted from the row's
    // start (or to its end), merged where they meet. f(from, to) gets each, in order, as
    // offsets into the row. A stretch blended this way gets exactly what it would get as part
    // of the whole row.
    template <class F>
    void forEachStretch(int64_t y, int64_t start, int32_t count, int32_t widen, F&& f) const {
        gather(y, start, count, widen);
        for (const Run& run : stretches_)
            f(run.begin, run.end);
    }

private:
    class RowRuns;
    void startScan(int32_t height);
    void endRow(int32_t y);
    void gather(int64_t y, int64_t start, int32_t count, int32_t widen) const;

    std::vector<Run> runs_;
    std::vector<uint32_t> rowStart_;     // runs of row y: [rowStart_[y], rowStart_[y + 1])
    mutable std::vector<Run> stretches_; // scratch of forEachStretch
};

} // namespace kavelin
