#pragma once

#include "engine/CommandHandlers.h"
#include "engine/PointerList.h"
#include "engine/SlotTable.h"
#include "text/FontNumbers.h"

#include <array>
#include <cstdint>
#include <memory>

namespace kavelin {

class Command;
class FrameBuffer;
class Layer;
class LayerSet;
class LogSink;
class TrueTypeFont;
class SpriteFont;

// Owns everything that makes up the picture (layers, layer sets and their stacking order, the
// background) and executes the commands that change it. Not thread-safe by itself: the command
// processor calls it under the render lock.
class Renderer : public CommandHandlers {
public:
    explicit Renderer(LogSink& log);
    ~Renderer() override;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Background colour bytes in the order red, green, blue, alpha.
    struct Colour {
        uint8_t red = 0, green = 0, blue = 0, alpha = 0;
    };

    bool init(int32_t width, int32_t height, bool fill, Colour colour);
    bool dispatch(Command& command);
    // Advances every layer by one step and, when there is a target, composes the frame into it.
    void renderFrame(FrameBuffer* target, bool interlaced, int32_t field);

    // Layer lookup by number: none for negative, out-of-range or empty slots.
    Layer* findLayer(int32_t number) const { return layers_.get(number); }
    LayerSet* findLayerSet(int32_t number) const { return sets_.get(number); }
    const PointerList<LayerSet>& stackingOrder() const { return order_; }

    bool clearFramebuffer() override;

    // Layers
    bool resetLayer(int32_t layer) override;
    bool clearLayer(int32_t layer) override;
    bool clearAllLayers() override;
    bool initLayer_size(int32_t layer, int32_t width, int32_t height) override;
    bool initLayer_tga(int32_t layer, const char* path) override;
    bool initLayer_tgaSequence(int32_t layer, const char* prefix, int32_t first,
                               int32_t last) override;
    bool copyLayer(int32_t destination, int32_t source) override;
    bool copyLayerRegion(int32_t destination, int32_t source, int32_t x, int32_t y, int32_t width,
                         int32_t height) override;
    bool setLayerPosition(int32_t layer, int32_t x, int32_t y) override;
    bool setLayerSize(int32_t layer, int32_t width, int32_t height) override;
    bool setLayerImageOffset(int32_t layer, int32_t x, int32_t y) override;
    bool cropLayerImage(int32_t layer) override;
    bool cropLayerImage(int32_t layer, int32_t x, int32_t y, int32_t width,
                        int32_t height) override;
    bool setLayerCursor(int32_t layer, int32_t cursorX, int32_t cursorY, int32_t alignX,
                        int32_t alignY, int32_t growToFit, int32_t drawKind, int32_t drawMode,
                        int32_t drawValue) override;
    bool setLayerCursor_coordinates(int32_t layer, int32_t cursorX, int32_t cursorY, int32_t alignX,
                                    int32_t alignY) override;
    bool getLayerImageSize(int32_t layer, int32_t& width, int32_t& height) override;
    bool setLayerBlending(int32_t layer, int32_t mode, int32_t opacity) override;
    bool showLayer(int32_t layer) override;
    bool hideLayer(int32_t layer) override;
    bool toggleLayers(int32_t first, int32_t second) override;

    // Animation
    bool setSequenceFrame(int32_t layer, int32_t index) override;
    bool sequencePlay(int32_t layer, int32_t direction) override;
    bool sequencePlayRange(int32_t layer, int32_t direction, int32_t first, int32_t last) override;
    bool setupScroller(int32_t layer, int32_t direction, int32_t startMode, int32_t endMode,
                       int32_t loopMode, int32_t speed) override;
    bool scrollerPlay(int32_t layer) override;
    bool scrollerPlay_n(int32_t layer, int32_t count) override;
    bool scrollerPlayEx_n(int32_t layer, int32_t direction, int32_t speed, int32_t count) override;
    bool scrollerPlayPair(int32_t first, int32_t second) override;
    bool scrollerStop(int32_t layer) override;
    bool scrollerRewind(int32_t layer) override;
    bool scrollerIsPlaying(int32_t layer, bool& playing) override;
    bool fadeLayer(int32_t layer, int32_t target, int32_t duration) override;
    bool crossFadeLayers(int32_t first, int32_t second, int32_t duration) override;

    // Sprite fonts and font numbers
    bool loadSpriteFont(int32_t font, const char* path, int32_t loadEffect, int32_t fontOpacity,
                        int32_t effectOpacity, int32_t colorizeFont, int32_t fontRed,
                        int32_t fontGreen, int32_t fontBlue, int32_t colorizeEffect,
                        int32_t effectRed, int32_t effectGreen, int32_t effectBlue) override;
    bool initLayer_text(int32_t layer, int32_t width, int32_t height, int32_t spriteFont,
                        const char* text, int32_t layoutMode, int32_t caseMode,
                        int32_t lineHeight) override;
    bool initLayer_text_fit(int32_t layer, int32_t width, int32_t height, int32_t spriteFont,
                            const char* text, int32_t layoutMode, int32_t caseMode,
                            int32_t lineHeight) override;
    using CommandHandlers::drawText;
    bool drawText(int32_t layer, int32_t x, int32_t y, int32_t spriteFont, const char* text,
                  int32_t layoutMode, int32_t caseMode, int32_t lineHeight) override;
    bool sf_lastTextSize(int32_t spriteFont, int32_t& width, int32_t& height) override;
    int32_t reserveFontNumber() override;
    bool releaseFontNumber(int32_t font) override;
    bool releaseAllFontNumbers() override;
    // The sprite font of a number, or none for an empty slot or a number outside the table.
    SpriteFont* spriteFont(int32_t number) const;

    // Layer sets
    int32_t createLayerSet() override;
    bool releaseLayerSet(int32_t set) override;
    bool layerSetSendBackward(int32_t set) override;
    bool layerSetBringForward(int32_t set) override;
    bool releaseAllLayerSets() override;
    int32_t createLayer(int32_t set) override;
    bool setLayerSetPosition(int32_t set, int32_t x, int32_t y) override;

    // TrueType fonts and text
    // The TrueType font of a number 0..49, none outside that range or before init.
    TrueTypeFont* trueTypeFont(int32_t number) const;
    bool loadFont(int32_t font, const char* face, int32_t height, bool bold, bool italic,
                  int32_t charset, int32_t direction) override;
    bool drawText(int32_t layer, int32_t x, int32_t y, int32_t font, Utf16Text text,
                  uint32_t colour, bool wrap, int32_t lineSpacing) override;
    bool addFontEffect(int32_t font, int32_t kind, const FontEffectValues& values) override;
    bool tt_lastTextSize(int32_t font, int32_t& width, int32_t& height) override;
    bool tt_getTextSize(int32_t font, Utf16Text text, int32_t& width, int32_t& height) override;
    bool tt_lastTextLines(int32_t font, int32_t& lines) override;

protected:
    bool notAvailable(const char* operation) override;

private:
    // The layer with that number, or none after logging the lookup error.
    Layer* layerOrLog(int32_t number);
    // Both layers, or false after logging the first number that names no layer.
    bool layerPairOrLog(int32_t first, int32_t second, Layer*& a, Layer*& b);

    LogSink& log_;
    SlotTable<Layer> layers_{20, 0};
    SlotTable<LayerSet> sets_{20, 0};
    PointerList<LayerSet> order_{20, 0};
    std::unique_ptr<FrameBuffer> framebuffer_;
    bool clearRequested_ = false;

    // TrueType fonts: the font system is up from init until destruction.
    bool fontSystemUp_ = false;
    std::array<std::unique_ptr<TrueTypeFont>, kFontNumbers> trueTypeFonts_;
    // Font table: sprite fonts, created by their first load, and reservation flags.
    bool initLayerText(bool fit, int32_t layer, int32_t width, int32_t height, int32_t font,
                       const char* text, int32_t layoutMode, int32_t caseMode, int32_t lineHeight);
    std::array<std::unique_ptr<SpriteFont>, kFontNumbers> spriteFonts_;
    std::array<bool, kFontNumbers> fontReserved_{};
};

} // namespace kavelin
