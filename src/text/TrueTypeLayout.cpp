#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"
#include "text/FontFace.h"
#include "text/LineBreak.h"
#include "text/TrueTypeFont.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace kavelin {

namespace {

// Coverage drawn over coverage, as white text drawn over white text would combine:
// d + c - d * c / 255, the division done exactly (rounded) in 16 bits so that it vectorises.
inline uint8_t over(uint8_t below, uint8_t above) {
    const uint16_t t = static_cast<uint16_t>(below * above + 128);
    const uint16_t product = static_cast<uint16_t>((t + (t >> 8)) >> 8);
    return static_cast<uint8_t>(below + above - product);
}

} // namespace

namespace {

// What the system says when a line cannot be measured or its memory cannot be had.
Error shapingFailed() {
    return failure("ERROR: GetTextExtentPoint32W failed.");
}
Error lineMemoryFailed() {
    return failure("ERROR: CreateSurface failed.");
}

} // namespace

Status TrueTypeFont::renderLine(std::u16string_view text, uint32_t colour, LineBitmap& out) {
    return renderWindow(text, colour, out, {0, 0, INT64_MAX, INT64_MAX});
}

Status TrueTypeFont::renderWindow(std::u16string_view text, uint32_t colour, LineBitmap& out,
                                  const LineWindow& window) {
    out.width = out.height = out.left = out.top = out.lineWidth = out.lineHeight = 0;
    // Nothing to add to the caller's own error line in these two cases.
    if (!loaded_ || text.empty())
        return failure("");
    ShapedText shaped;
    if (!face_->shape(text, direction_, shaped))
        return shapingFailed();
    const int32_t lineWidth = static_cast<int32_t>(std::min<int64_t>(shaped.width, kMaxLineWidth));
    const int32_t lineHeight = face_->cellHeight();
    const int64_t left = std::clamp<int64_t>(window.left, 0, lineWidth);
    const int64_t right = std::clamp<int64_t>(window.right, left, lineWidth);
    const int64_t top = std::clamp<int64_t>(window.top, 0, lineHeight);
    const int64_t bottom = std::clamp<int64_t>(window.bottom, top, lineHeight);
    const auto width = static_cast<int32_t>(right - left);
    const auto height = static_cast<int32_t>(bottom - top);
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    if (!out.pixels || out.capacity < bytes) {
        out.pixels.reset(new (std::nothrow) uint8_t[std::max<size_t>(bytes, 4)]);
        out.capacity = out.pixels ? std::max<size_t>(bytes, 4) : 0;
        if (!out.pixels)
            return lineMemoryFailed();
    }
    out.width = width;
    out.height = height;
    out.left = static_cast<int32_t>(left);
    out.top = static_cast<int32_t>(top);
    out.lineWidth = lineWidth;
    out.lineHeight = lineHeight;

    // Coverage is gathered in one byte per pixel first, then expanded once into the colour.
    const size_t pixels = bytes / 4;
    if (!coverage_ || coverageCapacity_ < pixels) {
        coverage_.reset(new (std::nothrow) uint8_t[std::max<size_t>(pixels, 1)]);
        coverageCapacity_ = coverage_ ? std::max<size_t>(pixels, 1) : 0;
        if (!coverage_)
            return lineMemoryFailed();
    }
    uint8_t* coverage = coverage_.get();
    std::memset(coverage, 0, pixels);

    // Glyph positions in the line, less the window's corner: positions in the window.
    const int64_t baseline = face_->ascent() - top;
    for (const ShapedGlyph& g : shaped.glyphs) {
        const GlyphBitmap& glyph = face_->glyph(g.id);
        if (glyph.width == 0)
            continue;
        const int64_t gx = g.x + glyph.left - left;
        const int64_t gy = baseline - g.y - glyph.top;
        const int64_t x0 = std::max<int64_t>(gx, 0);
        const int64_t x1 = std::min<int64_t>(gx + glyph.width, width);
        const int64_t y0 = std::max<int64_t>(gy, 0);
        const int64_t y1 = std::min<int64_t>(gy + glyph.height, height);
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* src = glyph.coverage.data() + (y - gy) * glyph.width + (x0 - gx);
            uint8_t* dst = coverage + y * width + x0;
            for (int64_t i = 0; i < x1 - x0; ++i)
                dst[i] = over(dst[i], src[i]);
        }
    }

    // Every pixel carries the colour; the coverage becomes its alpha.
    const uint32_t base = (colour >> 16 & 0xFF) | (colour & 0xFF00) | (colour & 0xFF) << 16;
    uint8_t* p = out.pixels.get();
    for (size_t i = 0; i < pixels; ++i) {
        const uint32_t v = base | uint32_t{coverage[i]} << 24;
        std::memcpy(p + i * 4, &v, 4);
    }
    return done();
}

int64_t TrueTypeFont::neededReach() const {
    // Each effect may draw or read that far beyond what the effects after it need; the text
    // itself needs the destination.
    int64_t reach = 0;
    for (int32_t i = 0; i < effectCount_; ++i)
        reach += std::max<int64_t>(effects_[static_cast<size_t>(i)]->reach(), 0);
    return reach;
}

LineWindow TrueTypeFont::neededWindow(int32_t destinationWidth, int32_t destinationHeight,
                                      int32_t x, int32_t y) const {
    const int64_t reach = neededReach();
    return {-int64_t{x} - reach, -int64_t{y} - reach, int64_t{destinationWidth} - x + reach,
            int64_t{destinationHeight} - y + reach};
}

void TrueTypeFont::placeLine(uint8_t* destination, int32_t destinationWidth,
                             int32_t destinationHeight, int32_t x, int32_t y, LineBitmap& line,
                             uint32_t colour, int32_t& clippedWidth, int32_t& clippedHeight) {
    const ClippedRect clip =
        clipRect(x, y, line.lineWidth, line.lineHeight, destinationWidth, destinationHeight);
    clippedWidth = clip.w;
    clippedHeight = clip.h;
    // Nothing of a line outside its needed window can reach the destination.
    if (line.width <= 0 || line.height <= 0)
        return;
    const int32_t partX = saturate(int64_t{x} + line.left);
    const int32_t partY = saturate(int64_t{y} + line.top);
    const int32_t opacity = static_cast<int32_t>(colour >> 24);
    const int32_t start = clip.srcX - line.left; // the text's columns and rows in the part
    const int32_t startRow = clip.srcY - line.top;
    // The text's own rows; where its ink is known (for the effects), only the stretches that
    // hold ink.
    const auto blendText = [&](const LineInk* ink, int32_t firstRow, int32_t endRow) {
        const int32_t from = std::max(clip.y, firstRow);
        const int32_t to = std::min(clip.y + clip.h, endRow);
        if (clip.w <= 0 || from >= to)
            return;
        if (ink == nullptr) {
            blendImage(destination, clip.x, from, destinationWidth, line.pixels.get(), start,
                       startRow + (from - clip.y), line.width, clip.w, to - from, opacity);
            return;
        }
        for (int32_t row = from; row < to; ++row) {
            const int32_t partRow = startRow + (row - clip.y);
            ink->forEachStretch(partRow, start, clip.w, 0, [&](int32_t begin, int32_t end) {
                blendImage(destination, clip.x + begin, row, destinationWidth, line.pixels.get(),
                           start + begin, partRow, line.width, end - begin, 1, opacity);
            });
        }
    };
    // Effects that change the line run over all of it, in their turn. The effects that draw
    // between them (and after the last of them, the text itself) go band by band of
    // destination rows, so that the rows they blend over one another stay in the cache; every
    // destination pixel still takes its blends in the effects' order.
    const int64_t reach = neededReach();
    const auto top = static_cast<int32_t>(std::max<int64_t>(int64_t{partY} - reach, 0));
    const auto bottom = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{partY} + line.height + reach, top, destinationHeight));
    const int32_t band = std::max<int32_t>(
        1, static_cast<int32_t>(kBandBytes / (static_cast<size_t>(destinationWidth) * 4 + 1)));
    const auto effect = [&](int32_t k) -> FontEffect& { return *effects_[static_cast<size_t>(k)]; };
    // The ink follows the line: drawn from the coverage, found again after a change.
    bool inkCurrent = false;
    const auto currentInk = [&]() -> const LineInk& {
        if (!inkCurrent)
            ink_.scanPixels(line.pixels.get(), line.width, line.height);
        inkCurrent = true;
        return ink_;
    };
    if (effectCount_ > 0) {
        ink_.scanCoverage(coverage_.get(), line.width, line.height);
        inkCurrent = true;
    }
    int32_t i = 0;
    for (;;) {
        for (; i < effectCount_ && effect(i).changesLine(); ++i) {
            effect(i).applyRows(destination, destinationWidth, destinationHeight, partX, partY,
                                line.pixels.get(), line.width, line.height, currentInk(), 0,
                                destinationHeight);
            inkCurrent = false;
        }
        int32_t end = i;
        while (end < effectCount_ && !effect(end).changesLine())
            ++end;
        const bool last = end == effectCount_;
        for (int64_t next = top; next < bottom && i < end; next += band) {
            const auto row = static_cast<int32_t>(next);
            const auto rowEnd = static_cast<int32_t>(std::min<int64_t>(bottom, next + band));
            for (int32_t k = i; k < end; ++k)
                effect(k).applyRows(destination, destinationWidth, destinationHeight, partX, partY,
                                    line.pixels.get(), line.width, line.height, currentInk(), row,
                                    rowEnd);
            if (last)
                blendText(&currentInk(), row, rowEnd);
        }
        if (last) {
            if (i == end) // no effect drew after the last change
                blendText(effectCount_ > 0 ? &currentInk() : nullptr, 0, destinationHeight);
            return;
        }
        i = end;
    }
}

Status TrueTypeFont::renderText(uint8_t* destination, int32_t destinationWidth,
                                int32_t destinationHeight, int32_t x, int32_t y,
                                std::u16string_view text, uint32_t colour, bool wrap,
                                int32_t lineSpacing) {
    if (!loaded_ || destination == nullptr)
        return failure("");
    if (text.empty()) {
        lastWidth_ = 0;
        lastHeight_ = 0;
        lastLines_ = 1;
        return done();
    }

    LineBitmap& line = spare_;
    Status drawn =
        wrap ? renderWrapped(destination, destinationWidth, destinationHeight, x, y, text, colour,
                             lineSpacing)
             : renderSingle(destination, destinationWidth, destinationHeight, x, y, text, colour);
    // Keep the line memory for the next drawing unless it grew unusually large.
    if (line.capacity > kKeptLineBytes) {
        line = LineBitmap{};
        coverage_.reset();
        coverageCapacity_ = 0;
        ink_ = LineInk{};
    }
    return drawn;
}

Status TrueTypeFont::renderSingle(uint8_t* destination, int32_t destinationWidth,
                                  int32_t destinationHeight, int32_t x, int32_t y,
                                  std::u16string_view text, uint32_t colour) {
    LineBitmap& line = spare_;
    const LineWindow window = neededWindow(destinationWidth, destinationHeight, x, y);
    if (Status rendered = renderWindow(text, colour, line, window); !rendered)
        return rendered;
    int32_t w = 0, h = 0;
    placeLine(destination, destinationWidth, destinationHeight, x, y, line, colour, w, h);
    lastWidth_ = w;
    lastHeight_ = h;
    lastLines_ = 1;
    return done();
}

Status TrueTypeFont::renderWrapped(uint8_t* destination, int32_t destinationWidth,
                                   int32_t destinationHeight, int32_t x, int32_t y,
                                   std::u16string_view text, uint32_t colour, int32_t lineSpacing) {
    LineBitmap& line = spare_;
    const int64_t available = int64_t{destinationWidth} - x;
    const size_t length = text.size();
    size_t pos = 0;
    int64_t lines = 0;
    int32_t widest = 0;
    int32_t lastLineHeight = 0;
    int64_t penY = y;
    ShapedText shaped;
    while (pos < length) {
        const std::u16string_view rest = text.substr(pos);
        // The fitting prefix of the remaining text, measured in one pass.
        FitResult fit;
        if (face_->shape(rest, direction_, shaped))
            fit = fitCount(shaped, rest.size(), available);
        size_t fitUnits = fit.fit;
        if (fitUnits == 0)
            fitUnits = fit.firstCluster > 0 ? fit.firstCluster : 1;

        const LineBreak lineBreak = breakLine(rest, fitUnits);

        const int32_t lineY = saturate(penY);
        if (Status rendered =
                renderWindow(rest.substr(0, lineBreak.length), colour, line,
                             neededWindow(destinationWidth, destinationHeight, x, lineY));
            !rendered)
            return rendered;
        int32_t w = 0, h = 0;
        placeLine(destination, destinationWidth, destinationHeight, x, lineY, line, colour, w, h);
        widest = std::max(widest, w);
        lastLineHeight = line.lineHeight;
        penY += lineSpacing;
        ++lines;
        pos += lineBreak.consumed;
    }
    lastWidth_ = widest;
    lastHeight_ = saturate((lines - 1) * lineSpacing + lastLineHeight);
    lastLines_ = saturate(lines);
    return done();
}

} // namespace kavelin
