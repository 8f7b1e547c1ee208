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
    return renderColumns(text, colour, out, 0, INT64_MAX);
}

Status TrueTypeFont::renderColumns(std::u16string_view text, uint32_t colour, LineBitmap& out,
                                   int64_t from, int64_t to) {
    out.width = out.height = 0;
    // Nothing to add to the caller's own error line in these two cases.
    if (!loaded_ || text.empty())
        return failure("");
    ShapedText shaped;
    if (!face_->shape(text, direction_, shaped))
        return shapingFailed();
    const int32_t width = static_cast<int32_t>(std::min<int64_t>(shaped.width, kMaxLineWidth));
    const int32_t height = face_->cellHeight();
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    if (!out.pixels || out.capacity < bytes) {
        out.pixels.reset(new (std::nothrow) uint8_t[std::max<size_t>(bytes, 4)]);
        out.capacity = out.pixels ? std::max<size_t>(bytes, 4) : 0;
        if (!out.pixels)
            return lineMemoryFailed();
    }
    out.width = width;
    out.height = height;

    // Coverage is gathered in one byte per pixel first, then expanded once into the colour.
    const size_t pixels = bytes / 4;
    if (!coverage_ || coverageCapacity_ < pixels) {
        coverage_.reset(new (std::nothrow) uint8_t[std::max<size_t>(pixels, 1)]);
        coverageCapacity_ = coverage_ ? std::max<size_t>(pixels, 1) : 0;
        if (!coverage_)
            return lineMemoryFailed();
    }
    // Columns outside [from, to) are left as they are: nobody reads them.
    from = std::clamp<int64_t>(from, 0, width);
    to = std::clamp<int64_t>(to, from, width);
    const size_t span = static_cast<size_t>(to - from);
    uint8_t* coverage = coverage_.get();
    for (int64_t y = 0; y < height; ++y)
        std::memset(coverage + y * width + from, 0, span);

    const int64_t baseline = face_->ascent();
    for (const ShapedGlyph& g : shaped.glyphs) {
        const GlyphBitmap& glyph = face_->glyph(g.id);
        if (glyph.width == 0)
            continue;
        const int64_t left = g.x + glyph.left;
        const int64_t top = baseline - g.y - glyph.top;
        const int64_t x0 = std::max<int64_t>(left, from);
        const int64_t x1 = std::min<int64_t>(left + glyph.width, to);
        const int64_t y0 = std::max<int64_t>(top, 0);
        const int64_t y1 = std::min<int64_t>(top + glyph.height, height);
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* src = glyph.coverage.data() + (y - top) * glyph.width + (x0 - left);
            uint8_t* dst = coverage + y * width + x0;
            for (int64_t i = 0; i < x1 - x0; ++i)
                dst[i] = over(dst[i], src[i]);
        }
    }

    // Every pixel carries the colour; the coverage becomes its alpha.
    const uint32_t base = (colour >> 16 & 0xFF) | (colour & 0xFF00) | (colour & 0xFF) << 16;
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* c = coverage + y * width + from;
        uint8_t* p = out.pixels.get() + (y * width + from) * 4;
        for (size_t i = 0; i < span; ++i) {
            const uint32_t v = base | uint32_t{c[i]} << 24;
            std::memcpy(p + i * 4, &v, 4);
        }
    }
    return done();
}

void TrueTypeFont::neededColumns(int32_t destinationWidth, int32_t x, int64_t& from,
                                 int64_t& to) const {
    // Effects see the whole line; without them only the part that lands in the destination
    // is ever read.
    if (effectCount_ > 0) {
        from = 0;
        to = INT64_MAX;
    } else {
        from = -int64_t{x};
        to = int64_t{destinationWidth} - x;
    }
}

void TrueTypeFont::placeLine(uint8_t* destination, int32_t destinationWidth,
                             int32_t destinationHeight, int32_t x, int32_t y, LineBitmap& line,
                             uint32_t colour, int32_t& clippedWidth, int32_t& clippedHeight) {
    for (int32_t i = 0; i < effectCount_; ++i)
        effects_[static_cast<size_t>(i)]->apply(destination, destinationWidth, destinationHeight, x,
                                                y, line.pixels.get(), line.width, line.height);
    const ClippedRect clip =
        clipRect(x, y, line.width, line.height, destinationWidth, destinationHeight);
    if (clip.w > 0 && clip.h > 0)
        blendImage(destination, clip.x, clip.y, destinationWidth, line.pixels.get(), clip.srcX,
                   clip.srcY, line.width, clip.w, clip.h, static_cast<int32_t>(colour >> 24));
    clippedWidth = clip.w;
    clippedHeight = clip.h;
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
    }
    return drawn;
}

Status TrueTypeFont::renderSingle(uint8_t* destination, int32_t destinationWidth,
                                  int32_t destinationHeight, int32_t x, int32_t y,
                                  std::u16string_view text, uint32_t colour) {
    LineBitmap& line = spare_;
    int64_t from = 0, to = 0;
    neededColumns(destinationWidth, x, from, to);
    if (Status rendered = renderColumns(text, colour, line, from, to); !rendered)
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
    int64_t from = 0, to = 0;
    neededColumns(destinationWidth, x, from, to);
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

        if (Status rendered =
                renderColumns(rest.substr(0, lineBreak.length), colour, line, from, to);
            !rendered)
            return rendered;
        int32_t w = 0, h = 0;
        placeLine(destination, destinationWidth, destinationHeight, x, saturate(penY), line, colour,
                  w, h);
        widest = std::max(widest, w);
        lastLineHeight = line.height;
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
