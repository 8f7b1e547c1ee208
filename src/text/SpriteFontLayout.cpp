// Measuring and drawing sprite-font text: runs of characters, single lines and wrapped lines.
#include "image/PixelRoutines.h"
#include "text/CharacterMap.h"
#include "text/SpriteFont.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <utility>

namespace kavelin {
namespace {

int32_t textLength(const char* text) {
    if (text == nullptr)
        return 0;
    return static_cast<int32_t>(std::min<size_t>(std::strlen(text), INT32_MAX));
}

int32_t saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

uint8_t byteAt(const char* text, int32_t i) {
    return static_cast<uint8_t>(text[i]);
}

} // namespace

int64_t SpriteFont::advance(const char* text, int32_t length, int32_t i, int32_t end,
                            int32_t& glyph) const {
    glyph = glyphIndexOf(byteAt(text, i));
    if (glyph >= glyphCount_)
        return 0;
    int64_t step = cells_[glyph].width;
    // The last character of a run, and of the text, gets no spacing after it.
    if (i < length - 1 && i < end - 1)
        step += int64_t{spacing(glyph, glyphIndexOf(byteAt(text, i + 1)))} + defaultSpacing_;
    return step;
}

int64_t SpriteFont::measureRun(const char* text, int32_t start, int32_t end) const {
    const int32_t length = textLength(text);
    start = std::max(start, 0);
    int64_t width = 0;
    for (int32_t i = start; i < end && i < length; ++i) {
        int32_t glyph = 0;
        width += advance(text, length, i, end, glyph);
    }
    return width;
}

bool SpriteFont::drawRun(const char* text, int32_t start, int32_t end, const Image* sheet,
                         Image* destination, int32_t x, int32_t y, int32_t maxAlpha) {
    if (sheet == nullptr || destination == nullptr)
        return false;
    lastWidth_ = 0;
    lastHeight_ = 0;
    const int32_t length = textLength(text);
    start = std::max(start, 0);
    if (start >= length)
        return true;
    const int64_t dw = destination->width(), dh = destination->height();
    const int64_t sw = sheet->width(), sh = sheet->height();
    const bool drawable = destination->pixels() != nullptr && sheet->pixels() != nullptr;
    int64_t width = 0;
    int64_t px = x;
    for (int32_t i = start; i < end && i < length; ++i) {
        int32_t glyph = 0;
        const int64_t step = advance(text, length, i, end, glyph);
        if (glyph >= glyphCount_)
            continue;
        const GlyphCell& c = cells_[glyph];
        const int64_t spacingAfter = step - c.width;
        // Clip the cell against the destination's four edges.
        int64_t col = px, sx = c.x, w = c.width;
        if (col < 0) {
            w += col;
            sx -= col;
            col = 0;
        }
        if (col + w > dw)
            w = dw - col;
        int64_t row = y, sy = c.y, h = c.height;
        if (row < 0) {
            h += row;
            sy -= row;
            row = 0;
        }
        if (row + h > dh)
            h = dh - row;
        if (w >= 1 && h >= 1) {
            // An effect sheet may be smaller than the glyph sheet whose cells it shares: only
            // the part of the cell inside it is drawn.
            const int64_t x0 = std::max<int64_t>(sx, 0), x1 = std::min(sx + w, sw);
            const int64_t y0 = std::max<int64_t>(sy, 0), y1 = std::min(sy + h, sh);
            if (drawable && x1 > x0 && y1 > y0)
                blendImageCapped(destination->pixels(), int32_t(col + x0 - sx),
                                 int32_t(row + y0 - sy), int32_t(dw), sheet->pixels(), int32_t(x0),
                                 int32_t(y0), int32_t(sw), int32_t(x1 - x0), int32_t(y1 - y0),
                                 maxAlpha);
            width += w + spacingAfter;
            lastHeight_ = int32_t(h);
        }
        px += step;
    }
    lastWidth_ = saturate(width);
    return true;
}

bool SpriteFont::drawLine(const char* text, Image* destination, int32_t x, int32_t y) {
    if (destination == nullptr || destination->width() < 1 || destination->height() < 1)
        return false;
    if (effectLoaded_ &&
        !drawRun(text, 0, INT32_MAX, effectSheet_.get(), destination, x, y, effectOpacity_))
        return false;
    return drawRun(text, 0, INT32_MAX, glyphSheet_.get(), destination, x, y, fontOpacity_);
}

bool SpriteFont::drawWrapped(const char* text, Image* destination, int32_t x, int32_t y,
                             int32_t lineHeight) {
    if (destination == nullptr || destination->width() < 1 || destination->height() < 1 ||
        lineHeight < 1)
        return false;
    const int32_t length = textLength(text);
    const int64_t maxWidth = int64_t{destination->width()} - x;
    // The limit is the height minus y, so text starting low gets fewer lines.
    const int64_t limit = int64_t{destination->height()} - y;
    std::array<std::pair<int32_t, int32_t>, kMaxWrappedLines> lines;
    int32_t lineCount = 0;
    int64_t penY = y;
    int32_t start = 0;
    // Lines beyond kMaxWrappedLines are not laid out: the text is cut there.
    while (start < length && penY < limit && lineCount < kMaxWrappedLines) {
        int32_t end = length;
        while (measureRun(text, start, end) > maxWidth) {
            // Back up to the previous space; end then indexes it.
            do {
                --end;
            } while (end > start && text[end] != ' ');
            if (end <= start)
                break;
        }
        if (end <= start) {
            // No break fits: cut the word where it stops fitting, keeping at least one
            // character. The width of [start, e) is the sum of full advances before e - 1
            // plus the bare width of e - 1.
            end = start + 1;
            int64_t before = 0;
            for (int32_t e = start + 1; e <= length; ++e) {
                int32_t glyph = 0;
                const int64_t bare = advance(text, length, e - 1, e, glyph);
                if (before + bare <= maxWidth)
                    end = e;
                before += advance(text, length, e - 1, length, glyph);
            }
        }
        lines[size_t(lineCount)] = {start, end};
        start = end;
        while (start < length && text[start] == ' ')
            ++start;
        penY += lineHeight;
        ++lineCount;
    }
    const auto lineTop = [&](int32_t k) { return saturate(int64_t{y} + int64_t{k} * lineHeight); };
    if (effectLoaded_) {
        for (int32_t k = 0; k < lineCount; ++k)
            if (!drawRun(text, lines[size_t(k)].first, lines[size_t(k)].second, effectSheet_.get(),
                         destination, x, lineTop(k), effectOpacity_))
                return false;
    }
    int32_t widest = 0;
    for (int32_t k = 0; k < lineCount; ++k) {
        if (!drawRun(text, lines[size_t(k)].first, lines[size_t(k)].second, glyphSheet_.get(),
                     destination, x, lineTop(k), fontOpacity_))
            return false;
        widest = std::max(widest, lastWidth_);
    }
    if (lineCount == 0) {
        lastWidth_ = 0;
        lastHeight_ = 0;
        return true;
    }
    const int32_t lastGlyphHeight = lastHeight_;
    lastWidth_ = widest;
    lastHeight_ = lineHeight > lastGlyphHeight
                      ? saturate(int64_t{lineCount} * lineHeight)
                      : saturate(int64_t{lineCount - 1} * lineHeight + lastGlyphHeight);
    return true;
}

bool SpriteFont::drawString(char* text, Image* destination, int32_t x, int32_t y,
                            int32_t layoutMode, int32_t caseMode, int32_t lineHeight) {
    convertCase(text, caseMode);
    if (layoutMode == 2)
        return drawWrapped(text, destination, x, y, lineHeight);
    return drawLine(text, destination, x, y);
}

} // namespace kavelin
