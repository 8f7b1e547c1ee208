// Loading a sprite font: the glyph sheet and its cells, the effect sheet, colour and opacity.
#include "text/SpriteFont.h"

#include "image/TgaFile.h"

#include <algorithm>
#include <cstring>

namespace kavelin {
namespace {

int32_t clampOpacity(int32_t opacity) {
    return std::clamp(opacity, 0, 255);
}

// The whole picture of a TGA file, or none.
std::unique_ptr<Image> readSheet(const char* name) {
    TgaPicture sheet = readTgaPicture(name);
    return sheet.complete ? std::move(sheet.image) : nullptr;
}

void colorize(Image& image, int32_t red, int32_t green, int32_t blue) {
    uint8_t* p = image.pixels();
    if (p == nullptr)
        return;
    const int64_t count = int64_t{image.width()} * image.height();
    for (int64_t i = 0; i < count; ++i, p += 4) {
        p[0] = static_cast<uint8_t>(blue);
        p[1] = static_cast<uint8_t>(green);
        p[2] = static_cast<uint8_t>(red);
    }
}

bool isStartMarker(const uint8_t* p) {
    return p[2] == 0 && p[1] == 255 && p[0] == 0;
}

bool isEndMarker(const uint8_t* p) {
    return p[2] == 255 && p[1] == 0 && p[0] == 0;
}

} // namespace

void scaleAlpha(Image& image, int32_t opacity) {
    uint8_t* p = image.pixels();
    if (p == nullptr)
        return;
    const uint32_t o = static_cast<uint32_t>(clampOpacity(opacity));
    const int64_t count = int64_t{image.width()} * image.height();
    for (int64_t i = 0; i < count; ++i, p += 4)
        p[3] = static_cast<uint8_t>(p[3] * o / 255);
}

SpriteFont::SpriteFont()
    : glyphSheet_(std::make_unique<Image>()), effectSheet_(std::make_unique<Image>()),
      spacing_(std::make_unique<int32_t[]>(256 * 256)) {}

bool SpriteFont::load(const char* path, int32_t opacity) {
    char spacingName[kFontPathSize];
    char effectName[kFontPathSize];
    std::unique_ptr<Image> sheet;
    // The companions' names must fit as well as the path itself.
    if (path != nullptr && std::strlen(path) < kFontPathSize &&
        deriveFileName(path, ".txt", spacingName, sizeof spacingName) &&
        deriveFileName(path, "_EFFECT.tga", effectName, sizeof effectName))
        sheet = readSheet(path);
    if (!sheet) {
        glyphSheet_ = std::make_unique<Image>();
        glyphCount_ = 0;
        effectLoaded_ = false;
        return false;
    }
    glyphSheet_ = std::move(sheet);
    std::memcpy(path_, path, std::strlen(path) + 1);
    fontOpacity_ = clampOpacity(opacity);
    if (fontOpacity_ < 255)
        scaleAlpha(*glyphSheet_, fontOpacity_);
    findCells();
    std::fill_n(spacing_.get(), 256 * 256, 0);
    if (std::FILE* file = std::fopen(spacingName, "r")) {
        readSpacing(file);
        std::fclose(file);
    }
    effectLoaded_ = false;
    return true;
}

void SpriteFont::findCells() {
    glyphCount_ = 0;
    const Image& sheet = *glyphSheet_;
    const uint8_t* row = sheet.pixels();
    const int32_t width = sheet.width();
    if (row == nullptr || sheet.height() < 1)
        return;
    int32_t x = 0;
    // Cells beyond kMaxCells are not kept; the character map uses the first 99.
    while (x < width && glyphCount_ < kMaxCells) {
        while (x < width && !isStartMarker(row + size_t(x) * 4))
            ++x;
        if (x >= width)
            break;
        const int32_t start = x;
        while (x < width && !isEndMarker(row + size_t(x) * 4))
            ++x;
        if (x >= width)
            break;
        cells_[glyphCount_] = {start, 2, x - start + 1, sheet.height() - 2};
        ++glyphCount_;
    }
}

bool SpriteFont::loadEffect(int32_t opacity) {
    effectLoaded_ = false;
    char effectName[kFontPathSize];
    if (!deriveFileName(path_, "_EFFECT.tga", effectName, sizeof effectName))
        return false;
    std::unique_ptr<Image> sheet = readSheet(effectName);
    if (!sheet)
        return false;
    effectSheet_ = std::move(sheet);
    effectLoaded_ = true;
    effectOpacity_ = clampOpacity(opacity);
    if (effectOpacity_ < 255)
        scaleAlpha(*effectSheet_, effectOpacity_);
    return true;
}

bool SpriteFont::colorizeFont(int32_t red, int32_t green, int32_t blue) {
    colorize(*glyphSheet_, red, green, blue);
    return true;
}

bool SpriteFont::colorizeEffect(int32_t red, int32_t green, int32_t blue) {
    if (!effectLoaded_)
        return false;
    colorize(*effectSheet_, red, green, blue);
    return true;
}

} // namespace kavelin
