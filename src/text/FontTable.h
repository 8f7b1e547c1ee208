#pragma once

#include "base/Result.h"
#include "text/FontNumbers.h"
#include "text/SpriteFont.h"
#include "text/TrueTypeFont.h"

#include <array>
#include <memory>

namespace kavelin {

// The 50 font numbers, each with a sprite font (made by its first load), a TrueType font and a
// reservation flag. The font system is up for as long as the table lives.
class FontTable {
public:
    // Fails with the font system's diagnostic when it does not start.
    static Result<std::unique_ptr<FontTable>> create();
    ~FontTable();
    FontTable(const FontTable&) = delete;
    FontTable& operator=(const FontTable&) = delete;

    // None for a number outside 0 to 49 (and, for sprite fonts, before the first load).
    SpriteFont* spriteFont(int32_t number) const;
    TrueTypeFont* trueTypeFont(int32_t number) const;
    // Puts a sprite font into a valid number; returns the one it replaces (none at first).
    std::unique_ptr<SpriteFont> setSpriteFont(int32_t number, std::unique_ptr<SpriteFont> font);

    // The lowest number not reserved, now reserved; -1 when all are.
    int32_t reserve();
    bool isReserved(int32_t number) const { return reserved_[size_t(number)]; }
    void setReserved(int32_t number, bool reserved) { reserved_[size_t(number)] = reserved; }
    void releaseAll() { reserved_.fill(false); }

private:
    FontTable() = default;

    std::array<std::unique_ptr<SpriteFont>, kFontNumbers> spriteFonts_;
    std::array<std::unique_ptr<TrueTypeFont>, kFontNumbers> trueTypeFonts_;
    std::array<bool, kFontNumbers> reserved_{};
};

} // namespace kavelin
