#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kavelin {

// `kavelin mkfont`: renders the 99 characters of the sprite-font character map from an
// installed face into a glyph sheet, a spacing file with the face's kerning and, on request,
// an effect sheet of the same layout.
struct SpriteFontMakerOptions {
    enum class Effect { None, Shadow, Outline };

    std::string face = "DejaVu Sans";
    int32_t pixelSize = 32;
    uint8_t red = 255, green = 255, blue = 255;
    Effect effect = Effect::None;
    std::string output; // the glyph sheet; the other files are named after it
};

// False with a one-line reason when the arguments do not make a set of options.
bool parseSpriteFontMakerArgs(const std::vector<std::string>& args, SpriteFontMakerOptions& options,
                              std::string& error);

// Writes the files; false with a one-line reason on failure.
bool makeSpriteFont(const SpriteFontMakerOptions& options, std::string& report, std::string& error);

// The text of `kavelin mkfont --help`.
const char* spriteFontMakerUsage();

// The mode's entry: exit code 0 when the files were written (or --help was asked for), 2
// otherwise.
int runSpriteFontMaker(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace kavelin
