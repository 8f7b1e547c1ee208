#include "text/FontTable.h"

#include "text/FontSystem.h"

namespace kavelin {

Result<std::unique_ptr<FontTable>> FontTable::create() {
    if (Status up = initFontSystem(); !up)
        return up.error();
    std::unique_ptr<FontTable> table(new FontTable());
    for (auto& font : table->trueTypeFonts_)
        font = std::make_unique<TrueTypeFont>();
    return table;
}

FontTable::~FontTable() {
    for (auto& font : trueTypeFonts_)
        font.reset();
    for (auto& font : spriteFonts_)
        font.reset();
    shutdownFontSystem();
}

SpriteFont* FontTable::spriteFont(int32_t number) const {
    return validFontNumber(number) ? spriteFonts_[size_t(number)].get() : nullptr;
}

TrueTypeFont* FontTable::trueTypeFont(int32_t number) const {
    return validFontNumber(number) ? trueTypeFonts_[size_t(number)].get() : nullptr;
}

std::unique_ptr<SpriteFont> FontTable::setSpriteFont(int32_t number,
                                                     std::unique_ptr<SpriteFont> font) {
    spriteFonts_[size_t(number)].swap(font);
    return font;
}

int32_t FontTable::reserve() {
    for (int32_t i = 0; i < kFontNumbers; ++i) {
        if (!reserved_[size_t(i)]) {
            reserved_[size_t(i)] = true;
            return i;
        }
    }
    return -1;
}

} // namespace kavelin
