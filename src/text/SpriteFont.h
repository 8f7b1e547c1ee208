#pragma once

#include "base/MediaFolder.h"
#include "base/Result.h"
#include "image/Image.h"
#include "text/DerivedName.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace kavelin {

// A glyph's rectangle in the glyph sheet.
struct GlyphCell {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// A bitmap font cut out of a TGA glyph sheet. Row 0 of the sheet marks each glyph with a
// pure green start pixel and a pure red end pixel; glyphs run from row 2 to the bottom. An
// optional spacing file adds spacing per character pair, and an optional effect sheet of the
// same layout is drawn under the glyphs. Colour and opacity are baked into the sheets when
// they are loaded; drawing only caps the alpha.
class SpriteFont {
public:
    static constexpr int32_t kMaxCells = 256;
    static constexpr int32_t kMaxWrappedLines = 255;
    // A spacing file is a few hundred short lines; anything far longer is not one.
    static constexpr int64_t kMaxSpacingFileBytes = int64_t{1} << 20;

    enum class EffectSheet { Loaded, Missing };

    SpriteFont();
    SpriteFont(const SpriteFont&) = delete;
    SpriteFont& operator=(const SpriteFont&) = delete;

    // Reads the glyph sheet, finds its cells and reads the spacing file beside it when there
    // is one. Every file is read before anything changes: a failure (a spacing file that is
    // there and cannot be read included) leaves the font as it was. Files are opened in media.
    Status load(const char* path, int32_t opacity, const MediaFolder& media = MediaFolder::none());
    // Reads the effect sheet that belongs to the path of the last successful load: Missing when
    // there is no such file, a failure when there is one that cannot be read.
    Result<EffectSheet> loadEffect(int32_t opacity, const MediaFolder& media = MediaFolder::none());
    // What a font loaded into the number of another one takes over from it: the default
    // spacing (until a spacing file sets it) and the size of the last text.
    void takeOverFrom(const SpriteFont& previous);
    bool colorizeFont(int32_t red, int32_t green, int32_t blue);
    // False, changing nothing, without a loaded effect sheet.
    bool colorizeEffect(int32_t red, int32_t green, int32_t blue);

    // Width of the characters [start, end) with the spacing between them.
    int64_t measureRun(const char* text, int32_t start, int32_t end) const;
    // Draws the characters [start, end) from sheet with the top left of the first glyph at
    // (x, y), clipped to destination; sets the last size.
    bool drawRun(const char* text, int32_t start, int32_t end, const Image* sheet,
                 Image* destination, int32_t x, int32_t y, int32_t maxAlpha);
    bool drawLine(const char* text, Image* destination, int32_t x, int32_t y);
    // Word-wrapped lines starting at x, breaking at spaces, lineHeight apart.
    bool drawWrapped(const char* text, Image* destination, int32_t x, int32_t y,
                     int32_t lineHeight);
    // Converts the case of text in place, then draws it wrapped (layout mode 2) or as one line.
    bool drawString(char* text, Image* destination, int32_t x, int32_t y, int32_t layoutMode,
                    int32_t caseMode, int32_t lineHeight);
    void lastTextSize(int32_t& width, int32_t& height) const {
        width = lastWidth_;
        height = lastHeight_;
    }

    // The loader's steps on their own, for tests and fuzzing.
    void findCells();
    void readSpacing(std::string_view text);
    void applySpacingLine(const char* line);

    const Image& glyphSheet() const { return *glyphSheet_; }
    const Image& effectSheet() const { return *effectSheet_; }
    Image& glyphSheet() { return *glyphSheet_; }
    const char* path() const { return path_; }
    int32_t glyphCount() const { return glyphCount_; }
    const GlyphCell& cell(int32_t i) const { return cells_[static_cast<size_t>(i)]; }
    int32_t spacing(int32_t first, int32_t second) const {
        return spacing_[static_cast<size_t>(first) * 256 + static_cast<size_t>(second)];
    }
    int32_t defaultSpacing() const { return defaultSpacing_; }
    bool effectLoaded() const { return effectLoaded_; }
    int32_t fontOpacity() const { return fontOpacity_; }
    int32_t effectOpacity() const { return effectOpacity_; }

private:
    // Cell width plus the spacing to the next character of the run, for index i.
    int64_t advance(const char* text, int32_t length, int32_t i, int32_t end, int32_t& glyph) const;

    std::unique_ptr<Image> glyphSheet_;
    std::unique_ptr<Image> effectSheet_;
    char path_[kFontPathSize] = {};
    GlyphCell cells_[kMaxCells];
    std::unique_ptr<int32_t[]> spacing_; // 256 x 256, row = first glyph
    int32_t defaultSpacing_ = 1;
    int32_t glyphCount_ = 0;
    bool effectLoaded_ = false;
    int32_t fontOpacity_ = 255;
    int32_t effectOpacity_ = 255;
    int32_t lastWidth_ = -1;
    int32_t lastHeight_ = -1;
};

// floor(alpha * opacity / 255) for every pixel; colour bytes stay.
void scaleAlpha(Image& image, int32_t opacity);

} // namespace kavelin
