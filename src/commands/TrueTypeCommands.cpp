// Commands for TrueType fonts: loading them, their effects, and drawing and measuring text.
#include "commands/CommandTable.h"
#include "commands/LayerLookup.h"
#include "commands/LoadFailure.h"
#include "commands/PictureEdit.h"
#include "text/DropShadowEffect.h"
#include "text/FontTable.h"
#include "text/VerticalSmoothEffect.h"

namespace kavelin {

namespace {

uint8_t lowByte(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

// Red in bits 0-7, green 8-15, blue 16-23, opacity 24-31.
uint32_t packColour(int32_t red, int32_t green, int32_t blue, int32_t opacity) {
    return uint32_t{lowByte(red)} | uint32_t{lowByte(green)} << 8 | uint32_t{lowByte(blue)} << 16 |
           uint32_t{lowByte(opacity)} << 24;
}

// The TrueType font of a number, or none after logging that the number is out of range.
TrueTypeFont* fontOrLog(CommandContext& c, int32_t number, const char* operation) {
    if (!validFontNumber(number)) {
        c.log.log("ERROR (%s) : Font number %d out of range.", operation, number);
        return nullptr;
    }
    TrueTypeFont* font = c.fonts.trueTypeFont(number);
    if (font == nullptr)
        c.log.log("ERROR (%s) : Font %d does not exist!", operation, number);
    return font;
}

CommandResult loadFont(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0];
    if (!validFontNumber(number)) {
        c.log.log("ERROR (loadFont) : Font number %d out of range.", number);
        return CommandResult::error();
    }
    TrueTypeFont* font = c.fonts.trueTypeFont(number);
    Status loaded = font != nullptr ? font->load(a.text().c_str(), a[1], a[2] == 1, a[3] == 1, a[5],
                                                 a[4], c.media)
                                    : failure("");
    if (!loaded) {
        // The font keeps its face and its effects.
        logLoadFailure(c.log, loaded.error());
        c.log.log("ERROR (loadFont) : Loading failed.");
        return CommandResult::error();
    }
    c.log.log("Font %s loaded, size %d", font->faceName().c_str(), font->height());
    return CommandResult::success();
}

CommandResult addFontEffect(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0], kind = a[1];
    if (!validFontNumber(number)) {
        c.log.log("ERROR (addFontEffect) : Font number %d out of range.", number);
        return CommandResult::error();
    }
    std::unique_ptr<FontEffect> effect;
    if (kind == 0)
        effect = std::make_unique<DropShadowEffect>(a[6], a[7], a[8], lowByte(a[2]), lowByte(a[3]),
                                                    lowByte(a[4]), lowByte(a[5]));
    else if (kind == 3)
        effect = std::make_unique<VerticalSmoothEffect>();
    TrueTypeFont* font = c.fonts.trueTypeFont(number);
    if (font == nullptr || !font->addEffect(std::move(effect))) {
        c.log.log("ERROR (addFontEffect) : Operation failed.");
        return CommandResult::error();
    }
    c.log.log("Added effect to font %d", number);
    return CommandResult::success();
}

CommandResult drawTrueTypeText(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0], x = a[1], y = a[2];
    PictureEdit edit;
    bool shown = false;
    if (!withLayer(c, number, [&](Layer& layer, auto&) { shown = edit.begin(layer); }))
        return CommandResult::error();
    if (!shown) {
        c.log.log("ERROR (drawText) : Destination layer (nr. %d) has no image!", number);
        return CommandResult::error();
    }
    TrueTypeFont* font = c.fonts.trueTypeFont(a[3]);
    Image* target = font != nullptr ? edit.target() : nullptr;
    Status rendered = failure("");
    if (target != nullptr)
        rendered = font->renderText(target->pixels(), target->width(), target->height(), x, y,
                                    a.freeText().units(), packColour(a[4], a[5], a[6], a[7]),
                                    a[8] == 1, a[9]);
    if (!rendered) {
        if (!rendered.reason().empty())
            c.log.diagnostic("%s\n", rendered.reason().c_str());
        c.log.log("ERROR (drawText) : Failed to draw text.");
        return CommandResult::error();
    }
    edit.drawn();
    withLayer(c, number,
              [&](Layer& layer, SharedScene::Access& scene) { edit.finish(layer, scene); });
    int32_t width = 0, height = 0;
    font->lastTextSize(width, height);
    c.log.log("Text drawn to layer %d at (%d, %d), size %d x %d.", number, x, y, width, height);
    return CommandResult::success();
}

CommandResult lastTextSize(CommandContext& c, const Arguments& a) {
    const TrueTypeFont* font = fontOrLog(c, a[0], "tt_lastTextSize");
    if (font == nullptr)
        return CommandResult::error();
    int32_t width = 0, height = 0;
    font->lastTextSize(width, height);
    return CommandResult::size(width, height);
}

CommandResult measureText(CommandContext& c, const Arguments& a) {
    TrueTypeFont* font = fontOrLog(c, a[0], "tt_getTextSize");
    int32_t width = 0, height = 0;
    if (font == nullptr || !font->measureText(a.freeText().units(), width, height))
        return CommandResult::error();
    c.log.log("Got text size: %d x %d pixels.", width, height);
    return CommandResult::size(width, height);
}

CommandResult lastTextLines(CommandContext& c, const Arguments& a) {
    const TrueTypeFont* font = fontOrLog(c, a[0], "tt_lastTextLines");
    if (font == nullptr)
        return CommandResult::error();
    return CommandResult::number(font->lastTextLines());
}

} // namespace

CommandRows trueTypeCommands() {
    static const CommandRow rows[] = {
        {4,
         {anyInteger("font"), text("face"), anyInteger("height"), anyInteger("bold"),
          anyInteger("italic"), anyInteger("charset"), anyInteger("direction")},
         6,
         FreeText::None,
         loadFont,
         "4 0 DejaVu Sans\t-32 1 0 0 1",
         "OK",
         "load TrueType font 0: face, height, bold, italic, charset, direction"},
        {103,
         {integer("font"), integer("kind"), integer("red"), integer("green"), integer("blue"),
          integer("opacity"), integer("angle"), integer("distance"), integer("mode")},
         9,
         FreeText::None,
         addFontEffect,
         "103 0 0 0 0 0 128 45 3 0",
         "OK",
         "add a font effect (kind, colour, opacity, angle, distance, mode)"},
        {104,
         {integer("layer"), integer("x"), integer("y"), integer("font"), integer("red"),
          integer("green"), integer("blue"), integer("opacity"), integer("wrap"),
          integer("line spacing")},
         10,
         FreeText::AfterTenBlanks,
         drawTrueTypeText,
         "104 0 10 10 0 255 255 255 255 1 0 ",
         "OK",
         "draw TrueType text: position, font, colour, wrap, line spacing"},
        {105,
         {integer("font")},
         1,
         FreeText::None,
         lastTextSize,
         "105 0",
         "OK 120 37",
         "size of the last TrueType text"},
        {107,
         {integer("font")},
         1,
         FreeText::AfterFirstBlank,
         measureText,
         "107 0 ",
         "OK 120 37",
         "measure a text"},
        {108,
         {integer("font")},
         1,
         FreeText::None,
         lastTextLines,
         "108 0",
         "OK 2",
         "lines of the last TrueType text"},
    };
    return rows;
}

} // namespace kavelin
