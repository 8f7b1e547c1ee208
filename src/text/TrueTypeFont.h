#pragma once

#include "base/MediaFolder.h"
#include "base/Result.h"
#include "text/FontEffect.h"
#include "text/LineInk.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kavelin {

class FontFace;

// A line of text rendered for blending, or the part of it that is needed: width × height
// pixels (blue, green, red, alpha) in the requested colour with the text's coverage as alpha,
// whose top-left pixel is (left, top) of the whole line. The whole line is exactly as wide as
// the measured text. The memory is kept for the next line drawn into the same LineBitmap.
struct LineBitmap {
    std::unique_ptr<uint8_t[]> pixels;
    int32_t width = 0;
    int32_t height = 0;
    int32_t left = 0;
    int32_t top = 0;
    int32_t lineWidth = 0;
    int32_t lineHeight = 0;
    size_t capacity = 0; // bytes allocated
};

// A rectangle of a line, [left, right) × [top, bottom) in the line's pixels.
struct LineWindow {
    int64_t left, top, right, bottom;
};

// A system font chosen by face name, height and style, with the effects run on its lines and
// the size of the text it last drew.
class TrueTypeFont {
public:
    static constexpr int32_t kMaxEffects = 10;
    // A line bitmap is cut at this width.
    static constexpr int32_t kMaxLineWidth = 32768;

    TrueTypeFont();
    ~TrueTypeFont();
    TrueTypeFont(const TrueTypeFont&) = delete;
    TrueTypeFont& operator=(const TrueTypeFont&) = delete;

    // Opens the closest installed face, or the font file when the name is a path (it holds a
    // '/' or ends in .ttf, .otf, .ttc or .otc; opened in media). On success the face replaces
    // the one before, and its glyph cache and every effect are dropped; a failure leaves the
    // font as it was (its reason names the file when the file is what failed).
    // height: negative = em height, positive = cell height, 0 = an em of 16 pixels.
    Status load(const char* faceName, int32_t height, bool bold, bool italic, int32_t direction,
                int32_t charsetSelector, const MediaFolder& media = MediaFolder::none());
    // Takes the effect in every case; false (and the effect discarded) when not loaded, when
    // there are already ten effects or when there is none.
    bool addEffect(std::unique_ptr<FontEffect> effect);

    bool measureText(std::u16string_view text, int32_t& width, int32_t& height);
    void lastTextSize(int32_t& width, int32_t& height) const {
        width = lastWidth_;
        height = lastHeight_;
    }
    int32_t lastTextLines() const { return lastLines_; }

    // Lays the text out (on one line or wrapped to the width right of x), runs the effects on
    // each line and blends it into the destination with the colour's opacity byte (colour:
    // red bits 0-7, green 8-15, blue 16-23, opacity 24-31).
    Status renderText(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight,
                      int32_t x, int32_t y, std::u16string_view text, uint32_t colour, bool wrap,
                      int32_t lineSpacing);
    // Fails (the reason is the system's diagnostic) when the line cannot be made. Reuses the
    // memory `out` already has when it is large enough.
    Status renderLine(std::u16string_view text, uint32_t colour, LineBitmap& out);

    bool loaded() const { return loaded_; }
    const std::string& faceName() const { return faceName_; }
    int32_t height() const { return height_; }
    bool bold() const { return bold_; }
    bool italic() const { return italic_; }
    int32_t direction() const { return direction_; }
    int32_t effectCount() const { return effectCount_; }
    // Glyphs rasterised since the last load.
    size_t cachedGlyphs() const;

private:
    // renderLine of the part of the line inside `window` (which may reach beyond the line).
    Status renderWindow(std::u16string_view text, uint32_t colour, LineBitmap& out,
                        const LineWindow& window);
    // The summed reach of the effects.
    int64_t neededReach() const;
    // The part of a line placed at (x, y) that can reach the destination: the destination
    // widened by the summed reach of the effects. A line's work is bounded by it.
    LineWindow neededWindow(int32_t destinationWidth, int32_t destinationHeight, int32_t x,
                            int32_t y) const;
    Status renderSingle(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight,
                        int32_t x, int32_t y, std::u16string_view text, uint32_t colour);
    Status renderWrapped(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight,
                         int32_t x, int32_t y, std::u16string_view text, uint32_t colour,
                         int32_t lineSpacing);
    // Blends the line renderWindow has just made (its coverage still at hand), whose whole is
    // placed at (x, y), after running the effects; returns the clipped size of the whole line.
    void placeLine(uint8_t* destination, int32_t destinationWidth, int32_t destinationHeight,
                   int32_t x, int32_t y, LineBitmap& line, uint32_t colour, int32_t& clippedWidth,
                   int32_t& clippedHeight);

    std::string faceName_;
    int32_t height_ = 0;
    bool bold_ = false;
    bool italic_ = false;
    int32_t direction_ = 1;
    std::unique_ptr<FontFace> face_;
    std::array<std::unique_ptr<FontEffect>, kMaxEffects> effects_;
    int32_t effectCount_ = 0;
    bool loaded_ = false;
    int32_t lastWidth_ = -1;
    int32_t lastHeight_ = -1;
    int32_t lastLines_ = -1;
    // Line memory reused from one drawing to the next (up to kKeptLineBytes).
    LineBitmap spare_;
    std::unique_ptr<uint8_t[]> coverage_;
    size_t coverageCapacity_ = 0;
    LineInk ink_; // of the line in spare_
    static constexpr size_t kKeptLineBytes = size_t{4} << 20;
    // Destination rows blended by every effect in turn before the next rows: about this many
    // bytes, so that they stay in the cache.
    static constexpr size_t kBandBytes = size_t{128} << 10;
};

} // namespace kavelin
