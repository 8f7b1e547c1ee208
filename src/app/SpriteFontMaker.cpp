#include "app/SpriteFontMaker.h"

#include "base/ReadableFile.h"
#include "image/Image.h"
#include "image/TgaWriter.h"
#include "text/CharacterMap.h"
#include "text/DerivedName.h"
#include "text/FontFile.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

namespace kavelin {
namespace {

// One rendered character: its coverage bitmap and where it sits against the pen.
struct RenderedGlyph {
    std::vector<uint8_t> coverage;
    int32_t width = 0, height = 0;
    int32_t left = 0, top = 0; // bitmap offset from the pen, top above the baseline
    int32_t advance = 0;
    uint32_t index = 0;
};

struct FtLibrary {
    FT_Library lib = nullptr;
    ~FtLibrary() {
        if (lib != nullptr)
            FT_Done_FreeType(lib);
    }
};

struct FtFace {
    FT_Face face = nullptr;
    ~FtFace() {
        if (face != nullptr)
            FT_Done_Face(face);
    }
};

uint32_t codePointOf(uint8_t byte) {
    return byte == 0x80 ? 0x20AC : byte; // the rest of the map lies in Latin-1
}

// The font file and face index that fontconfig picks for a name.
bool matchFace(const std::string& name, std::string& file, int& index, std::string& family) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr)
        return false;
    bool found = false;
    if (FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()))) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* path = nullptr;
            FcChar8* fam = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
                file = reinterpret_cast<const char*>(path);
                index = 0;
                FcPatternGetInteger(match, FC_INDEX, 0, &index);
                if (FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch)
                    family = reinterpret_cast<const char*>(fam);
                found = true;
            }
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return found;
}

bool renderGlyph(FT_Face face, uint8_t byte, RenderedGlyph& out) {
    out.index = FT_Get_Char_Index(face, codePointOf(byte));
    if (FT_Load_Glyph(face, out.index, FT_LOAD_DEFAULT) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    out.width = int32_t(bitmap.width);
    out.height = int32_t(bitmap.rows);
    out.left = slot->bitmap_left;
    out.top = slot->bitmap_top;
    out.advance = int32_t((slot->advance.x + 32) >> 6);
    out.coverage.assign(size_t(out.width) * size_t(out.height), 0);
    for (int32_t y = 0; y < out.height; ++y)
        for (int32_t x = 0; x < out.width; ++x)
            out.coverage[size_t(y) * size_t(out.width) + size_t(x)] =
                bitmap.buffer[int64_t{y} * bitmap.pitch + x];
    return true;
}

// A coverage plane the size of one cell.
struct Plane {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> v;
    Plane(int32_t w, int32_t h) : width(w), height(h), v(size_t(w) * size_t(h), 0) {}
    uint8_t at(int32_t x, int32_t y) const {
        return x < 0 || y < 0 || x >= width || y >= height
                   ? 0
                   : v[size_t(y) * size_t(width) + size_t(x)];
    }
    uint8_t& ref(int32_t x, int32_t y) { return v[size_t(y) * size_t(width) + size_t(x)]; }
};

// Soft shadow: a box blur of the glyph moved down and right.
Plane shadowOf(const Plane& glyph, int32_t offset, int32_t radius) {
    Plane out(glyph.width, glyph.height);
    const int32_t side = 2 * radius + 1;
    for (int32_t y = 0; y < glyph.height; ++y)
        for (int32_t x = 0; x < glyph.width; ++x) {
            int32_t sum = 0;
            for (int32_t dy = -radius; dy <= radius; ++dy)
                for (int32_t dx = -radius; dx <= radius; ++dx)
                    sum += glyph.at(x - offset + dx, y - offset + dy);
            out.ref(x, y) = uint8_t(std::min(255, sum * 3 / (2 * side * side)));
        }
    return out;
}

// Outline: the largest coverage within a disc around each pixel.
Plane outlineOf(const Plane& glyph, int32_t radius) {
    Plane out(glyph.width, glyph.height);
    for (int32_t y = 0; y < glyph.height; ++y)
        for (int32_t x = 0; x < glyph.width; ++x) {
            uint8_t best = 0;
            for (int32_t dy = -radius; dy <= radius; ++dy)
                for (int32_t dx = -radius; dx <= radius; ++dx)
                    if (dx * dx + dy * dy <= radius * radius)
                        best = std::max(best, glyph.at(x + dx, y + dy));
            out.ref(x, y) = best;
        }
    return out;
}

void paint(Image& sheet, int32_t x0, const Plane& plane, uint8_t r, uint8_t g, uint8_t b) {
    for (int32_t y = 0; y < plane.height; ++y)
        for (int32_t x = 0; x < plane.width; ++x) {
            const uint8_t a = plane.at(x, y);
            if (a == 0)
                continue;
            uint8_t* p =
                sheet.pixels() + (size_t(y + 2) * size_t(sheet.width()) + size_t(x0 + x)) * 4;
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = a;
        }
}

void putMarker(Image& sheet, int32_t x, bool start) {
    uint8_t* p = sheet.pixels() + size_t(x) * 4;
    p[0] = 0;
    p[1] = start ? 255 : 0;
    p[2] = start ? 0 : 255;
    p[3] = 255;
}

bool parseInt(const std::string& text, int32_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// The spacing file: the default spacing and every non-zero kerning pair, in pixels.
bool writeSpacing(const char* path, FT_Face face, const std::vector<RenderedGlyph>& glyphs,
                  int32_t defaultSpacing, int32_t& pairs) {
    std::FILE* file = std::fopen(path, "w");
    if (file == nullptr)
        return false;
    std::fprintf(file, "default\t%d\n", defaultSpacing);
    hb_font_t* font = hb_ft_font_create_referenced(face);
    hb_buffer_t* buffer = hb_buffer_create();
    pairs = 0;
    for (int32_t a = 0; a < kGlyphSlots; ++a) {
        for (int32_t b = 0; b < kGlyphSlots; ++b) {
            const hb_codepoint_t text[2] = {codePointOf(byteOfGlyph(a)),
                                            codePointOf(byteOfGlyph(b))};
            hb_buffer_clear_contents(buffer);
            hb_buffer_add_utf32(buffer, text, 2, 0, 2);
            hb_buffer_guess_segment_properties(buffer);
            hb_shape(font, buffer, nullptr, 0);
            unsigned count = 0;
            const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
            const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
            if (count != 2 || info[0].codepoint != glyphs[size_t(a)].index)
                continue; // a ligature or a substitution: no pair value to take
            const hb_position_t nominal = hb_font_get_glyph_h_advance(font, info[0].codepoint);
            const auto kern = int32_t(std::lround((pos[0].x_advance - nominal) / 64.0));
            if (kern == 0)
                continue;
            // The key names the pair by its second and fourth bytes.
            std::fprintf(file, "<%c,%c>\t%d\n", byteOfGlyph(a), byteOfGlyph(b), kern);
            ++pairs;
        }
    }
    hb_buffer_destroy(buffer);
    hb_font_destroy(font);
    return std::fclose(file) == 0;
}

} // namespace

bool parseSpriteFontMakerArgs(const std::vector<std::string>& args, SpriteFontMakerOptions& options,
                              std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--face" || a == "--size" || a == "--colour" || a == "--effect") {
            if (!hasValue) {
                error = a + " needs a value";
                return false;
            }
            const std::string& v = args[++i];
            if (a == "--face") {
                options.face = v;
            } else if (a == "--size") {
                if (!parseInt(v, options.pixelSize) || options.pixelSize < 4 ||
                    options.pixelSize > 256) {
                    error = "--size needs a pixel size from 4 to 256";
                    return false;
                }
            } else if (a == "--colour") {
                uint32_t rgb = 0;
                auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), rgb, 16);
                if (v.size() != 6 || ec != std::errc() || end != v.data() + v.size()) {
                    error = "--colour needs six hexadecimal digits, RRGGBB";
                    return false;
                }
                options.red = uint8_t(rgb >> 16);
                options.green = uint8_t(rgb >> 8);
                options.blue = uint8_t(rgb);
            } else if (v == "none" || v == "shadow" || v == "outline") {
                options.effect = v == "none"     ? SpriteFontMakerOptions::Effect::None
                                 : v == "shadow" ? SpriteFontMakerOptions::Effect::Shadow
                                                 : SpriteFontMakerOptions::Effect::Outline;
            } else {
                error = "--effect is none, shadow or outline";
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option for mkfont: " + a;
            return false;
        } else if (options.output.empty()) {
            options.output = a;
        } else {
            error = "mkfont takes one output file, got another: " + a;
            return false;
        }
    }
    if (options.output.empty()) {
        error = "mkfont needs an output file for the glyph sheet (NAME.tga)";
        return false;
    }
    return true;
}

bool makeSpriteFont(const SpriteFontMakerOptions& options, std::string& report,
                    std::string& error) {
    char spacingName[kFontPathSize], effectName[kFontPathSize];
    if (options.output.size() >= kFontPathSize ||
        !deriveFileName(options.output.c_str(), ".txt", spacingName, sizeof spacingName) ||
        !deriveFileName(options.output.c_str(), "_EFFECT.tga", effectName, sizeof effectName)) {
        error = "the output name and the names made from it must fit 259 bytes";
        return false;
    }
    std::string file, family;
    int faceIndex = 0;
    if (!matchFace(options.face, file, faceIndex, family)) {
        error = "no installed face matches \"" + options.face + "\"";
        return false;
    }
    // The bytes outlive the face, which reads them (declared first, destroyed last).
    Result<ReadableFile> opened = ReadableFile::open(file);
    Result<FontBytes> bytes = opened ? readFontFile(*opened) : Result<FontBytes>(opened.error());
    if (!bytes) {
        error = bytes.reason();
        return false;
    }
    FtLibrary library;
    FtFace face;
    if (FT_Init_FreeType(&library.lib) != 0 ||
        FT_New_Memory_Face(library.lib, reinterpret_cast<const FT_Byte*>((*bytes)->data()),
                           FT_Long((*bytes)->size()), faceIndex, &face.face) != 0 ||
        FT_Set_Pixel_Sizes(face.face, 0, FT_UInt(options.pixelSize)) != 0) {
        error = "FreeType cannot open " + file;
        return false;
    }
    std::vector<RenderedGlyph> glyphs(kGlyphSlots);
    for (int32_t i = 0; i < kGlyphSlots; ++i)
        if (!renderGlyph(face.face, byteOfGlyph(i), glyphs[size_t(i)])) {
            error = "FreeType cannot render the glyphs of " + file;
            return false;
        }

    // Room around each glyph for what overhangs its advance and for the effect. The default
    // spacing takes the side room back, so the pen still moves by the face's advance.
    const int32_t size = options.pixelSize;
    const int32_t shadowOffset = std::max(1, size / 16), blur = std::max(1, size / 24);
    const int32_t outline = std::max(1, size / 16);
    int32_t extent = 0;
    if (options.effect == SpriteFontMakerOptions::Effect::Shadow)
        extent = shadowOffset + blur;
    else if (options.effect == SpriteFontMakerOptions::Effect::Outline)
        extent = outline;
    const FT_Size_Metrics& m = face.face->size->metrics;
    int32_t above = int32_t((m.ascender + 63) >> 6), below = int32_t((-m.descender + 63) >> 6);
    int32_t overhang = 0;
    for (const RenderedGlyph& g : glyphs) {
        overhang = std::max({overhang, -g.left, g.left + g.width - g.advance});
        above = std::max(above, g.top);
        below = std::max(below, g.height - g.top);
    }
    const int32_t side = overhang + extent;
    const int32_t glyphHeight = above + below + 2 * extent;
    int32_t sheetWidth = 0;
    for (const RenderedGlyph& g : glyphs)
        sheetWidth += std::max(2, g.advance + 2 * side);
    if (sheetWidth > 65535) {
        error = "the glyph sheet would be wider than a TGA file allows";
        return false;
    }

    Image sheet, effect;
    if (!sheet.allocate(sheetWidth, glyphHeight + 2) ||
        !effect.allocate(sheetWidth, glyphHeight + 2)) {
        error = "out of memory";
        return false;
    }
    int32_t x = 0;
    for (const RenderedGlyph& g : glyphs) {
        const int32_t cellWidth = std::max(2, g.advance + 2 * side);
        putMarker(sheet, x, true);
        putMarker(sheet, x + cellWidth - 1, false);
        Plane plane(cellWidth, glyphHeight);
        for (int32_t y = 0; y < g.height; ++y)
            for (int32_t gx = 0; gx < g.width; ++gx) {
                const int32_t px = side + g.left + gx, py = extent + above - g.top + y;
                if (px >= 0 && px < cellWidth && py >= 0 && py < glyphHeight)
                    plane.ref(px, py) = g.coverage[size_t(y) * size_t(g.width) + size_t(gx)];
            }
        paint(sheet, x, plane, options.red, options.green, options.blue);
        if (options.effect == SpriteFontMakerOptions::Effect::Shadow)
            paint(effect, x, shadowOf(plane, shadowOffset, blur), 0, 0, 0);
        else if (options.effect == SpriteFontMakerOptions::Effect::Outline)
            paint(effect, x, outlineOf(plane, outline), 0, 0, 0);
        x += cellWidth;
    }

    int32_t pairs = 0;
    if (!writeTga(options.output.c_str(), sheet) ||
        !writeSpacing(spacingName, face.face, glyphs, -2 * side, pairs) ||
        (options.effect != SpriteFontMakerOptions::Effect::None && !writeTga(effectName, effect))) {
        error = "cannot write " + options.output + " or the files beside it";
        return false;
    }
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s: %s (%s), %d px, %d glyphs in a %d x %d sheet, %d kerning pairs%s%s",
                  options.output.c_str(), family.c_str(), file.c_str(), size, kGlyphSlots,
                  sheetWidth, glyphHeight + 2, pairs,
                  options.effect != SpriteFontMakerOptions::Effect::None ? ", effect sheet " : "",
                  options.effect != SpriteFontMakerOptions::Effect::None ? effectName : "");
    report = line;
    return true;
}

const char* spriteFontMakerUsage() {
    return "Usage: kavelin mkfont [--face NAME] [--size PX] [--colour RRGGBB]\n"
           "                      [--effect none|shadow|outline] OUTPUT.tga\n"
           "\n"
           "Makes a sprite-font set from an installed face: OUTPUT.tga (the glyph sheet),\n"
           "OUTPUT.txt (the default spacing and the face's kerning pairs) and, with an effect,\n"
           "OUTPUT_EFFECT.tga (the effect sheet), for command 58.\n"
           "\n"
           "  --face NAME      the face, as fontconfig names it (default DejaVu Sans)\n"
           "  --size PX        the pixel size, 4 to 256 (default 32)\n"
           "  --colour RRGGBB  the glyphs' colour (default FFFFFF)\n"
           "  --effect none|shadow|outline\n"
           "                   the effect sheet: none (default), a soft black drop shadow or a\n"
           "                   black outline\n";
}

int runSpriteFontMaker(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        std::find(args.begin(), args.end(), "-h") != args.end()) {
        std::fputs(spriteFontMakerUsage(), out);
        return 0;
    }
    SpriteFontMakerOptions options;
    std::string error, report;
    if (!parseSpriteFontMakerArgs(args, options, error) ||
        !makeSpriteFont(options, report, error)) {
        std::fprintf(err, "kavelin mkfont: %s\n", error.c_str());
        return 2;
    }
    std::fprintf(out, "%s\n", report.c_str());
    return 0;
}

} // namespace kavelin
