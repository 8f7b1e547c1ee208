#pragma once

#include "base/ReadableFile.h"
#include "base/Result.h"
#include "text/FontFile.h"
#include "text/GlyphCache.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

struct hb_font_t;
struct hb_buffer_t;

namespace kavelin {

struct MatchedFace;

// One glyph of a shaped line, in whole pixels: x is its origin from the line's left edge
// (pen position plus the shaper's offset), y its offset upwards from the baseline.
struct ShapedGlyph {
    uint32_t id = 0;
    uint32_t cluster = 0; // index of the first code unit the glyph belongs to
    int32_t advance = 0;
    int64_t x = 0;
    int32_t y = 0;
};

// A shaped line in visual order (left to right on the page, also for right-to-left text).
struct ShapedText {
    std::vector<ShapedGlyph> glyphs;
    int64_t width = 0; // sum of the advances, never negative
};

// An opened face at one pixel size: FreeType outlines, HarfBuzz shaping, the line metrics and
// the glyph coverage cache. Advances and offsets are rounded to whole pixels per glyph, so a
// measured width is exactly the width the glyphs are drawn in.
class FontFace {
public:
    // Cell heights above this are refused, which bounds every line bitmap.
    static constexpr int32_t kMaxCellHeight = 1024;
    // The em height used for a height of 0.
    static constexpr int32_t kDefaultEmHeight = 16;

    // The face of the matched file, read whole from `file` (FreeType works on the bytes, which
    // the face keeps). height as Windows fonts count it: negative = em height, positive = cell
    // height, in pixels. A failure concerning the file names it; other failures have no reason.
    static Result<std::unique_ptr<FontFace>> open(ReadableFile file, const MatchedFace& match,
                                                  int32_t height, const char* language);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    int32_t cellHeight() const { return ascent_ + descent_; }
    int32_t ascent() const { return ascent_; }

    // direction 1 left to right, 2 right to left, anything else as guessed from the text.
    // False when the shaper runs out of memory.
    bool shape(std::u16string_view text, int32_t direction, ShapedText& out);
    // Coverage of one glyph, rasterised on first use; never none (an unloadable glyph is empty).
    const GlyphBitmap& glyph(uint32_t id);
    size_t cachedGlyphCount() const { return cache_.size(); }

private:
    FontFace() = default;
    Status setUp(const std::string& path, const MatchedFace& match, int32_t height,
                 const char* language);
    bool rasterise(uint32_t id, GlyphBitmap& out);

    FontBytes bytes_; // the font file, read by FreeType for as long as the face lives
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    hb_font_t* font_ = nullptr;
    hb_buffer_t* buffer_ = nullptr;
    const char* language_ = nullptr;
    bool bold_ = false;
    bool italic_ = false;
    int32_t boldExtra_ = 0; // pixels a synthesised bold glyph grows by
    int32_t ascent_ = 0;
    int32_t descent_ = 0;
    GlyphCache cache_;
};

// The number of leading code units of `text` (shaped as `shaped`) whose extent does not exceed
// `available` pixels, counting whole clusters only; and the end of the first cluster, the
// shortest prefix that can stand as a line of its own.
struct FitResult {
    size_t fit = 0;
    size_t firstCluster = 0;
};
FitResult fitCount(const ShapedText& shaped, size_t length, int64_t available);

} // namespace kavelin
