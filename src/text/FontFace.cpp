#include "text/FontFace.h"

#include "text/FontMatch.h"
#include "text/FontSystem.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <hb-ft.h>
#include <hb.h>

#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

namespace kavelin {

namespace {

// 26.6 fixed point to whole pixels, halves rounded up.
int64_t roundPixels(int64_t value26) {
    return (value26 + 32) >> 6;
}

// The face's cell in font units: Windows ascent + descent, or the horizontal header's
// ascender − descender when the face has no Windows metrics.
void cellUnits(FT_Face face, int64_t& ascent, int64_t& descent) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF &&
        int64_t{os2->usWinAscent} + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
        return;
    }
    ascent = face->ascender;
    descent = -int64_t{face->descender};
    if (ascent + descent <= 0) {
        ascent = face->units_per_EM;
        descent = 0;
    }
}

} // namespace

Result<std::unique_ptr<FontFace>> FontFace::open(ReadableFile file, const MatchedFace& match,
                                                 int32_t height, const char* language) {
    std::unique_ptr<FontFace> face(new FontFace());
    Result<FontBytes> bytes = readFontFile(file);
    if (!bytes)
        return bytes.error();
    face->bytes_ = std::move(*bytes);
    if (Status made = face->setUp(file.path(), match, height, language); !made)
        return made.error();
    return face;
}

FontFace::~FontFace() {
    if (buffer_ != nullptr)
        hb_buffer_destroy(buffer_);
    if (font_ != nullptr)
        hb_font_destroy(font_);
    if (face_ != nullptr)
        FT_Done_Face(face_);
    if (library_ != nullptr)
        releaseFontLibrary();
}

Status FontFace::setUp(const std::string& path, const MatchedFace& match, int32_t height,
                       const char* language) {
    const Error refused = failure("");
    library_ = retainFontLibrary();
    if (library_ == nullptr)
        return refused;
    const FT_Error opened =
        FT_New_Memory_Face(library_, reinterpret_cast<const FT_Byte*>(bytes_->data()),
                           static_cast<FT_Long>(bytes_->size()), match.index, &face_);
    if (opened != 0) {
        face_ = nullptr;
        // The memory budget has already said why when the font library ran out of memory.
        return opened == FT_Err_Out_Of_Memory ? refused : fileError(path, "is not a font file");
    }
    if (!FT_IS_SCALABLE(face_) || face_->units_per_EM == 0)
        return fileError(path, "is not a scalable font");

    int64_t ascentUnits = 0, descentUnits = 0;
    cellUnits(face_, ascentUnits, descentUnits);
    const int64_t cellUnitsTotal = ascentUnits + descentUnits;
    const int64_t upem = face_->units_per_EM;

    // Pixel size in 26.6, and the cell split into ascent and descent.
    int64_t ppem26 = 0;
    if (height > 0) {
        if (height > kMaxCellHeight)
            return refused;
        ppem26 = (int64_t{height} * 64 * upem + cellUnitsTotal / 2) / cellUnitsTotal;
        ascent_ = static_cast<int32_t>((int64_t{height} * ascentUnits + cellUnitsTotal / 2) /
                                       cellUnitsTotal);
        descent_ = height - ascent_;
    } else {
        const int64_t em = height == 0 ? kDefaultEmHeight : -int64_t{height};
        if (em > kMaxCellHeight)
            return refused;
        ppem26 = em * 64;
        ascent_ = static_cast<int32_t>((em * ascentUnits + upem / 2) / upem);
        descent_ = static_cast<int32_t>((em * descentUnits + upem / 2) / upem);
        if (int64_t{ascent_} + descent_ > kMaxCellHeight)
            return refused;
    }
    // A face whose cell is tiny against its em would need an outsized pixel size.
    if (ppem26 > int64_t{kMaxCellHeight} * 64 * 8)
        return refused;
    ppem26 = std::max<int64_t>(ppem26, 1);
    if (FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(ppem26), 72, 72) != 0)
        return refused;

    hb_face_t* hbFace = hb_ft_face_create_referenced(face_);
    font_ = hb_font_create(hbFace);
    hb_face_destroy(hbFace);
    hb_font_set_scale(font_, static_cast<int>(ppem26), static_cast<int>(ppem26));
    buffer_ = hb_buffer_create();
    if (!hb_buffer_allocation_successful(buffer_))
        return refused;

    language_ = language;
    bold_ = match.synthesiseBold;
    italic_ = match.synthesiseItalic;
    if (match.styleFromFace) {
        bold_ = bold_ && (face_->style_flags & FT_STYLE_FLAG_BOLD) == 0;
        italic_ = italic_ && (face_->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    }
    if (bold_) {
        // The same strength FreeType's emboldening uses: a 24th of the em.
        const int64_t strength26 =
            FT_MulFix(face_->units_per_EM, face_->size->metrics.y_scale) / 24;
        boldExtra_ = static_cast<int32_t>(std::max<int64_t>(1, roundPixels(strength26)));
    }
    // Shape and rasterise one glyph now, so that the shaper's table checks and the hinter's
    // per-face analysis happen while loading rather than in the first drawing.
    ShapedText warm;
    GlyphBitmap scratch;
    if (shape(u"H", 1, warm) && !warm.glyphs.empty())
        rasterise(warm.glyphs[0].id, scratch);
    return done();
}

bool FontFace::shape(std::u16string_view text, int32_t direction, ShapedText& out) {
    out.glyphs.clear();
    out.width = 0;
    if (text.empty())
        return true;
    if (text.size() > static_cast<size_t>(INT_MAX / 2))
        return false;
    hb_buffer_reset(buffer_);
    const int length = static_cast<int>(text.size());
    // Unpaired surrogates become U+FFFD (the buffer's replacement code point).
    hb_buffer_add_utf16(buffer_, reinterpret_cast<const uint16_t*>(text.data()), length, 0, length);
    if (direction == 1)
        hb_buffer_set_direction(buffer_, HB_DIRECTION_LTR);
    else if (direction == 2)
        hb_buffer_set_direction(buffer_, HB_DIRECTION_RTL);
    if (language_ != nullptr)
        hb_buffer_set_language(buffer_, hb_language_from_string(language_, -1));
    hb_buffer_guess_segment_properties(buffer_);
    hb_shape(font_, buffer_, nullptr, 0);
    if (!hb_buffer_allocation_successful(buffer_))
        return false;

    unsigned int count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer_, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer_, &count);
    out.glyphs.resize(count);
    int64_t pen = 0;
    for (unsigned int i = 0; i < count; ++i) {
        ShapedGlyph& g = out.glyphs[i];
        g.id = info[i].codepoint;
        g.cluster = info[i].cluster;
        int64_t advance = roundPixels(pos[i].x_advance);
        if (bold_ && pos[i].x_advance != 0)
            advance += boldExtra_;
        g.advance = static_cast<int32_t>(advance);
        g.x = pen + roundPixels(pos[i].x_offset);
        g.y = static_cast<int32_t>(roundPixels(pos[i].y_offset));
        pen += advance;
    }
    out.width = std::max<int64_t>(pen, 0);
    return true;
}

const GlyphBitmap& FontFace::glyph(uint32_t id) {
    if (const GlyphBitmap* cached = cache_.find(id))
        return *cached;
    GlyphBitmap fresh;
    if (!rasterise(id, fresh))
        fresh = GlyphBitmap{};
    return cache_.insert(id, std::move(fresh));
}

bool FontFace::rasterise(uint32_t id, GlyphBitmap& out) {
    // Outlines first, so that synthesised styles and anti-aliasing apply; a glyph that exists
    // only as a bitmap is taken as it is.
    if (FT_Load_Glyph(face_, id, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0 &&
        FT_Load_Glyph(face_, id, FT_LOAD_DEFAULT | FT_LOAD_COLOR) != 0)
        return false;
    FT_GlyphSlot slot = face_->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (bold_)
            FT_GlyphSlot_Embolden(slot);
        if (italic_)
            FT_GlyphSlot_Oblique(slot);
    }
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;

    const FT_Bitmap& bm = slot->bitmap;
    out.left = slot->bitmap_left;
    out.top = slot->bitmap_top;
    out.width = static_cast<int32_t>(bm.width);
    out.height = static_cast<int32_t>(bm.rows);
    if (out.width <= 0 || out.height <= 0 || bm.buffer == nullptr) {
        out.width = out.height = 0;
        return true;
    }
    out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
    for (int32_t row = 0; row < out.height; ++row) {
        // A negative pitch means the rows are stored bottom up.
        const int64_t rowIndex = bm.pitch >= 0 ? row : int64_t{out.height} - 1 - row;
        const uint8_t* src = bm.buffer + rowIndex * std::abs(bm.pitch);
        uint8_t* dst = out.coverage.data() + static_cast<size_t>(row) * out.width;
        switch (bm.pixel_mode) {
        case FT_PIXEL_MODE_GRAY:
            std::memcpy(dst, src, static_cast<size_t>(out.width));
            break;
        case FT_PIXEL_MODE_MONO:
            for (int32_t x = 0; x < out.width; ++x)
                dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            break;
        case FT_PIXEL_MODE_BGRA:
            for (int32_t x = 0; x < out.width; ++x)
                dst[x] = src[x * 4 + 3];
            break;
        default:
            break;
        }
    }
    return true;
}

FitResult fitCount(const ShapedText& shaped, size_t length, int64_t available) {
    FitResult result;
    if (length == 0)
        return result;
    // Advances gathered per cluster start; only cluster starts (and the end) are places where
    // a prefix may end.
    std::vector<int64_t> advance(length, 0);
    std::vector<uint8_t> isStart(length + 1, 0);
    for (const ShapedGlyph& g : shaped.glyphs) {
        const size_t c = std::min<size_t>(g.cluster, length - 1);
        advance[c] += g.advance;
        isStart[c] = 1;
    }
    int64_t extent = 0;
    bool fitting = available >= 0;
    for (size_t k = 1; k <= length; ++k) {
        extent += advance[k - 1];
        if (k != length && !isStart[k])
            continue;
        if (result.firstCluster == 0)
            result.firstCluster = k;
        if (!fitting)
            break;
        if (extent > available) {
            fitting = false;
            break;
        }
        result.fit = k;
    }
    return result;
}

} // namespace kavelin
