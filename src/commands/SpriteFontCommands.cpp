// Commands for sprite fonts: loading them and setting their text into layers.
#include "base/MediaFolder.h"
#include "commands/CommandTable.h"
#include "commands/LayerLookup.h"
#include "commands/LoadFailure.h"
#include "commands/PictureEdit.h"
#include "text/FontTable.h"

#include <string>

namespace kavelin {

namespace {

CommandResult loadSpriteFont(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0];
    const char* path = a.text().c_str();
    const int32_t loadEffect = a[1], fontOpacity = a[2], effectOpacity = a[3];
    const int32_t colorizeFont = a[4], colorizeEffect = a[8];
    c.log.log("Loading spritefont %d : %s", number, path);
    if (!validFontNumber(number)) {
        c.log.log("ERROR (loadSpriteFont) : Font number %d out of range.", number);
        return CommandResult::error();
    }
    // The font is made aside and takes the number only when the whole command succeeds, so a
    // failed load leaves the font that texts are set in.
    auto font = std::make_unique<SpriteFont>();
    if (const SpriteFont* previous = c.fonts.spriteFont(number))
        font->takeOverFrom(*previous);
    if (Status loaded = font->load(path, fontOpacity, c.media); !loaded) {
        logLoadFailure(c.log, loaded.error());
        c.log.log("ERROR: Failed to load spritefont \"%s\".", path);
        return CommandResult::error();
    }
    c.log.log("         - font file loaded.");
    // A missing effect sheet is reported and the font used without it; one that is there and
    // cannot be read fails the load.
    if (loadEffect == 1) {
        Result<SpriteFont::EffectSheet> effect = font->loadEffect(effectOpacity, c.media);
        if (!effect)
            logLoadFailure(c.log, effect.error());
        if (effect && *effect == SpriteFont::EffectSheet::Loaded)
            c.log.log("         - effect file loaded.");
        else
            c.log.log("Unable to load effect.");
        if (!effect)
            return CommandResult::error();
    }
    if (colorizeFont == 1) {
        font->colorizeFont(a[5], a[6], a[7]);
        c.log.log("         - font colorized.");
    }
    if (colorizeEffect == 1) {
        if (font->colorizeEffect(a[9], a[10], a[11]))
            c.log.log("         - effect colorized.");
        else
            c.log.log("Unable to colorize effect: no effect loaded!");
    }
    c.fonts.setSpriteFont(number, std::move(font));
    return CommandResult::success();
}

// 65 and 95: the layer gets a new blank picture of the given size with the text drawn at its top
// left; with `Fit` the picture is then cut to the text.
template <bool Fit>
CommandResult initLayerText(CommandContext& c, const Arguments& a) {
    const char* const name = Fit ? "initLayer_text_fit" : "initLayer_text";
    const int32_t number = a[0], width = a[1], height = a[2];
    if (!layerExists(c, number))
        return CommandResult::error();
    SpriteFont* font = c.fonts.spriteFont(a[3]);
    auto picture = std::make_shared<Image>();
    const bool allocated = picture->allocate(width, height);
    bool drawn = false;
    if (allocated && font != nullptr) {
        // The case conversion works on a copy: the command's text is not ours to change.
        std::string copy = a.text();
        drawn = font->drawString(copy.data(), picture.get(), 0, 0, a[4], a[5], a[6]);
        if (Fit) {
            int32_t w = 0, h = 0;
            font->lastTextSize(w, h);
            picture->crop(0, 0, w, h);
        }
    }
    if (!allocated || font == nullptr || !drawn) {
        // The layer keeps what it showed.
        c.log.log("ERROR (%s) : init failed.", name);
        return CommandResult::error();
    }
    picture->updateCoverage();
    if (!withLayer(c, number, [&](Layer& layer, SharedScene::Access& scene) {
            scene.retire(layer.setFrames({std::move(picture)}, 1, true));
            layer.setWindow(width, height);
        }))
        return CommandResult::error();
    c.log.log("%s : init successful.", name);
    return CommandResult::success();
}

CommandResult drawSpriteText(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0], x = a[1], y = a[2];
    PictureEdit edit;
    bool shown = false;
    if (!withLayer(c, number, [&](Layer& layer, auto&) { shown = edit.begin(layer); }))
        return CommandResult::error();
    SpriteFont* font = c.fonts.spriteFont(a[3]);
    Image* target = shown && font != nullptr ? edit.target() : nullptr;
    std::string copy = a.text();
    if (target == nullptr || !font->drawString(copy.data(), target, x, y, a[4], a[5], a[6])) {
        c.log.log("ERROR (drawText) : operation failed.");
        return CommandResult::error();
    }
    edit.drawn();
    withLayer(c, number,
              [&](Layer& layer, SharedScene::Access& scene) { edit.finish(layer, scene); });
    c.log.log("Text drawn to layer %d at (%d, %d)", number, x, y);
    return CommandResult::success();
}

CommandResult spriteTextSize(CommandContext& c, const Arguments& a) {
    const int32_t number = a[0];
    if (!validFontNumber(number)) {
        c.log.log("ERROR (sf_lastTextSize) : Font number %d out of range.", number);
        return CommandResult::error();
    }
    const SpriteFont* font = c.fonts.spriteFont(number);
    if (font == nullptr) {
        c.log.log("ERROR (sf_lastTextSize) : Font %d does not exist!", number);
        return CommandResult::error();
    }
    int32_t width = 0, height = 0;
    font->lastTextSize(width, height);
    return CommandResult::size(width, height);
}

const std::vector<FieldSpec> kTextLayerFields = {
    integer("layer"), integer("width"),  integer("height"), integer("font"),
    text("text"),     integer("layout"), integer("case"),   integer("line height")};

} // namespace

CommandRows spriteFontCommands() {
    static const CommandRow rows[] = {
        {58,
         {integer("font"), text("path"), integer("load effect"), integer("font opacity"),
          integer("effect opacity"), integer("colour font"), integer("font red"),
          integer("font green"), integer("font blue"), integer("colour effect"),
          integer("effect red"), integer("effect green"), integer("effect blue")},
         12,
         FreeText::None,
         loadSpriteFont,
         "58 0 fonts/title.tga\t0 255 255 0 0 0 0 0 0 0 0",
         "OK",
         "load sprite font 0 from a glyph sheet"},
        {65, kTextLayerFields, 7, FreeText::None, initLayerText<false>,
         "65 0 720 100 0 Hello\t0 0 40", "OK",
         "sprite-font text layer: size, font, text, layout, case, line height"},
        {93,
         {integer("layer"), integer("x"), integer("y"), integer("font"), text("text"),
          integer("layout"), integer("case"), integer("line height")},
         7,
         FreeText::None,
         drawSpriteText,
         "93 0 10 10 0 Hello\t0 0 40",
         "OK",
         "draw sprite-font text into layer 0 at (10, 10)"},
        {95, kTextLayerFields, 7, FreeText::None, initLayerText<true>,
         "95 0 720 100 0 Hello\t0 0 40", "OK", "as 65, fitting the layer to the text"},
        {106,
         {integer("font")},
         1,
         FreeText::None,
         spriteTextSize,
         "106 0",
         "OK 120 40",
         "size of the last sprite-font text"},
    };
    return rows;
}

} // namespace kavelin
