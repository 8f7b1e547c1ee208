#include "text/TrueTypeFont.h"

#include "text/FontFace.h"
#include "text/FontMatch.h"

#include <cctype>
#include <cstdint>
#include <string_view>
#include <utility>

namespace kavelin {

TrueTypeFont::TrueTypeFont() = default;
TrueTypeFont::~TrueTypeFont() = default;

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) !=
            suffix[i])
            return false;
    return true;
}

// A face name that is a path to a font file rather than a name for fontconfig.
bool namesFontFile(std::string_view name) {
    return name.find('/') != std::string_view::npos || endsWith(name, ".ttf") ||
           endsWith(name, ".otf") || endsWith(name, ".ttc") || endsWith(name, ".otc");
}

Result<std::unique_ptr<FontFace>> openFace(const char* faceName, int32_t height, bool bold,
                                           bool italic, int32_t charsetSelector,
                                           const MediaFolder& media) {
    const char* language = selectorLanguage(charsetSelector);
    if (namesFontFile(faceName)) {
        Result<ReadableFile> file = media.openFile(faceName);
        if (!file)
            return file.error();
        const MatchedFace named{faceName, 0, bold, italic, true};
        return FontFace::open(std::move(*file), named, height, language);
    }
    MatchedFace match;
    if (!matchFace(faceName, bold, italic, charsetSelector, match))
        return failure("");
    // An installed face, found by fontconfig: its path is the system's, not a client's.
    Result<ReadableFile> file = ReadableFile::open(match.file);
    if (!file)
        return file.error();
    return FontFace::open(std::move(*file), match, height, language);
}

} // namespace

Status TrueTypeFont::load(const char* faceName, int32_t height, bool bold, bool italic,
                          int32_t direction, int32_t charsetSelector, const MediaFolder& media) {
    if (faceName == nullptr)
        return failure("");
    Result<std::unique_ptr<FontFace>> face =
        openFace(faceName, height, bold, italic, charsetSelector, media);
    if (!face)
        return face.error();
    for (auto& effect : effects_)
        effect.reset();
    effectCount_ = 0;
    face_ = std::move(*face);
    faceName_ = faceName;
    height_ = height;
    bold_ = bold;
    italic_ = italic;
    direction_ = direction;
    loaded_ = true;
    return done();
}

bool TrueTypeFont::addEffect(std::unique_ptr<FontEffect> effect) {
    if (!loaded_ || effectCount_ >= kMaxEffects || !effect)
        return false;
    effects_[static_cast<size_t>(effectCount_++)] = std::move(effect);
    return true;
}

bool TrueTypeFont::measureText(std::u16string_view text, int32_t& width, int32_t& height) {
    if (!loaded_)
        return false;
    if (text.empty()) {
        width = 0;
        height = 0;
        return true;
    }
    ShapedText shaped;
    if (!face_->shape(text, direction_, shaped))
        return false;
    width = shaped.width > INT32_MAX ? INT32_MAX : static_cast<int32_t>(shaped.width);
    height = face_->cellHeight();
    return true;
}

size_t TrueTypeFont::cachedGlyphs() const {
    return face_ ? face_->cachedGlyphCount() : 0;
}

} // namespace kavelin
