#include "text/TrueTypeFont.h"

#include "text/FontFace.h"
#include "text/FontMatch.h"

#include <cstdint>
#include <utility>

namespace kavelin {

TrueTypeFont::TrueTypeFont() = default;
TrueTypeFont::~TrueTypeFont() = default;

bool TrueTypeFont::load(const char* faceName, int32_t height, bool bold, bool italic,
                        int32_t direction, int32_t charsetSelector) {
    faceName_.clear();
    for (auto& effect : effects_)
        effect.reset();
    effectCount_ = 0;
    face_.reset();
    loaded_ = false;

    MatchedFace match;
    if (!matchFace(faceName, bold, italic, charsetSelector, match))
        return false;
    face_ = FontFace::open(match, height, selectorLanguage(charsetSelector));
    if (!face_)
        return false;
    faceName_ = faceName;
    height_ = height;
    bold_ = bold;
    italic_ = italic;
    direction_ = direction;
    charsetSelector_ = charsetSelector;
    loaded_ = true;
    return true;
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
