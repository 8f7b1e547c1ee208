// Loading a sprite font: the glyph sheet and its cells, the effect sheet, colour and opacity.
#include "text/SpriteFont.h"

#include "image/TgaFile.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kavelin {
namespace {

int32_t clampOpacity(int32_t opacity) {
    return std::clamp(opacity, 0, 255);
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

Status SpriteFont::load(const char* path, int32_t opacity, const MediaFolder& media) {
    if (path == nullptr)
        return failure("");
    char spacingName[kFontPathSize];
    char effectName[kFontPathSize];
    // The companions' names must fit as well as the path itself.
    if (std::strlen(path) >= kFontPathSize)
        return fileError(path,
                         "file name longer than " + std::to_string(kFontPathSize - 1) + " bytes");
    if (!deriveFileName(path, ".txt", spacingName, sizeof spacingName) ||
        !deriveFileName(path, "_EFFECT.tga", effectName, sizeof effectName))
        return fileError(path, "the names of the files beside it would be longer than " +
                                   std::to_string(kFontPathSize - 1) + " bytes");
    Result<std::unique_ptr<Image>> sheet = readTgaPicture(media, path);
    if (!sheet)
        return sheet.error();
    Result<std::optional<ReadableFile>> spacingFile = media.openFileIfPresent(spacingName);
    if (!spacingFile)
        return spacingFile.error();
    std::vector<char> spacingText;
    if (*spacingFile) {
        Result<std::vector<char>> text = (*spacingFile)->readAll(kMaxSpacingFileBytes);
        if (!text)
            return text.error();
        spacingText = std::move(*text);
    }

    // Everything is read: from here on nothing fails.
    glyphSheet_ = std::move(*sheet);
    std::memcpy(path_, path, std::strlen(path) + 1);
    fontOpacity_ = clampOpacity(opacity);
    if (fontOpacity_ < 255)
        scaleAlpha(*glyphSheet_, fontOpacity_);
    findCells();
    std::fill_n(spacing_.get(), 256 * 256, 0);
    readSpacing(std::string_view(spacingText.data(), spacingText.size()));
    effectLoaded_ = false;
    return done();
}

void SpriteFont::takeOverFrom(const SpriteFont& previous) {
    defaultSpacing_ = previous.defaultSpacing_;
    lastWidth_ = previous.lastWidth_;
    lastHeight_ = previous.lastHeight_;
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

Result<SpriteFont::EffectSheet> SpriteFont::loadEffect(int32_t opacity, const MediaFolder& media) {
    effectLoaded_ = false;
    char effectName[kFontPathSize];
    if (path_[0] == 0 || !deriveFileName(path_, "_EFFECT.tga", effectName, sizeof effectName))
        return EffectSheet::Missing;
    Result<std::optional<ReadableFile>> file = media.openFileIfPresent(effectName);
    if (!file)
        return file.error();
    if (!*file)
        return EffectSheet::Missing;
    Result<std::unique_ptr<Image>> sheet = readTgaPicture(std::move(**file));
    if (!sheet)
        return sheet.error();
    effectSheet_ = std::move(*sheet);
    effectLoaded_ = true;
    effectOpacity_ = clampOpacity(opacity);
    if (effectOpacity_ < 255)
        scaleAlpha(*effectSheet_, effectOpacity_);
    return EffectSheet::Loaded;
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
