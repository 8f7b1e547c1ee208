#include "image/PixelRoutines.h"
#include "image/SaturatingMath.h"
#include "text/FontFace.h"
#include "text/LineBreak.h"
#include "text/TrueTypeFont.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

namespace kavelin {

namespace {

// Coverage drawn over coverage, as white text drawn over white text would combine.
inline uint8_t over(uint8_t below, uint8_t above) {
    return static_cast<uint8_t>(below + above - (below * above + 127) / 255);
}

} // namespace

bool TrueTypeFont::renderLine(std::u16string_view text, uint32_t colour, LineBitmap& out) {
    out = LineBitmap{};
    if (!loaded_ || text.empty())
        return false;
    ShapedText shaped;
    if (!face_->shape(text, direction_, shaped)) {
        std::printf("ERROR: GetTextExtentPoint32W failed.\n");
        std::fflush(stdout);
        return false;
    }
    const int32_t width = static_cast<int32_t>(std::min<int64_t>(shaped.width, kMaxLineWidth));
    const int32_t height = face_->cellHeight();
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    out.pixels.reset(new (std::nothrow) uint8_t[count * 4]);
    if (!out.pixels) {
        std::printf("ERROR: CreateSurface failed.\n");
        std::fflush(stdout);
        return false;
    }
    out.width = width;
    out.height = height;

    // Every pixel carries the colour; the coverage drawn below becomes its alpha.
    const uint8_t pixel[4] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                              static_cast<uint8_t>(colour), 0};
    uint8_t* p = out.pixels.get();
    for (size_t i = 0; i < count; ++i, p += 4)
        std::memcpy(p, pixel, 4);

    const int64_t baseline = face_->ascent();
    for (const ShapedGlyph& g : shaped.glyphs) {
        const GlyphBitmap& glyph = face_->glyph(g.id);
        if (glyph.width == 0)
            continue;
        const int64_t left = g.x + glyph.left;
        const int64_t top = baseline - g.y - glyph.top;
        const int64_t x0 = std::max<int64_t>(left, 0);
        const int64_t x1 = std::min<int64_t>(left + glyph.width, width);
        const int64_t y0 = std::max<int64_t>(top, 0);
        const int64_t y1 = std::min<int64_t>(top + glyph.height, height);
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* src = glyph.coverage.data() + (y - top) * glyph.width;
            uint8_t* dst = out.pixels.get() + (y * width) * 4 + 3;
            for (int64_t x = x0; x < x1; ++x)
                if (const uint8_t c = src[x - left]; c != 0)
                    dst[x * 4] = over(dst[x * 4], c);
        }
    }
    return true;
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

bool TrueTypeFont::renderText(uint8_t* destination, int32_t destinationWidth,
                              int32_t destinationHeight, int32_t x, int32_t y,
                              std::u16string_view text, uint32_t colour, bool wrap,
                              int32_t lineSpacing) {
    if (!loaded_ || destination == nullptr)
        return false;
    if (text.empty()) {
        lastWidth_ = 0;
        lastHeight_ = 0;
        lastLines_ = 1;
        return true;
    }

    if (!wrap) {
        LineBitmap line;
        if (!renderLine(text, colour, line))
            return false;
        int32_t w = 0, h = 0;
        placeLine(destination, destinationWidth, destinationHeight, x, y, line, colour, w, h);
        lastWidth_ = w;
        lastHeight_ = h;
        lastLines_ = 1;
        return true;
    }

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

        LineBitmap line;
        if (!renderLine(rest.substr(0, lineBreak.length), colour, line))
            return false;
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
    return true;
}

} // namespace kavelin
