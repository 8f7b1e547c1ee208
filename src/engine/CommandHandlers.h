#pragma once

#include "net/Utf16Text.h"

#include <cstdint>

namespace kavelin {

// The seven values of a font effect, in the order a command gives them.
struct FontEffectValues {
    int32_t red, green, blue, opacity, angle, distance, mode;
};

// The operations that command lines reach, one per command number. Each writes its own log
// lines and answers true or false; queries report their values through out-parameters.
// Operations that are not built yet answer false and say so in the log.
class CommandHandlers {
public:
    virtual ~CommandHandlers() = default;

    // Fonts and text
    virtual bool loadFont(int32_t font, const char* face, int32_t height, bool bold, bool italic,
                          int32_t charset, int32_t direction);
    virtual bool loadSpriteFont(int32_t font, const char* path, int32_t loadEffect,
                                int32_t fontOpacity, int32_t effectOpacity, int32_t colorizeFont,
                                int32_t fontRed, int32_t fontGreen, int32_t fontBlue,
                                int32_t colorizeEffect, int32_t effectRed, int32_t effectGreen,
                                int32_t effectBlue);
    virtual bool initLayer_text(int32_t layer, int32_t width, int32_t height, int32_t spriteFont,
                                const char* text, int32_t layoutMode, int32_t caseMode,
                                int32_t lineHeight);
    virtual bool initLayer_text_fit(int32_t layer, int32_t width, int32_t height,
                                    int32_t spriteFont, const char* text, int32_t layoutMode,
                                    int32_t caseMode, int32_t lineHeight);
    virtual bool drawText(int32_t layer, int32_t x, int32_t y, int32_t spriteFont, const char* text,
                          int32_t layoutMode, int32_t caseMode, int32_t lineHeight);
    virtual bool drawText(int32_t layer, int32_t x, int32_t y, int32_t font, Utf16Text text,
                          uint32_t colour, bool wrap, int32_t lineSpacing);
    virtual bool addFontEffect(int32_t font, int32_t kind, const FontEffectValues& values);
    virtual bool tt_lastTextSize(int32_t font, int32_t& width, int32_t& height);
    virtual bool sf_lastTextSize(int32_t spriteFont, int32_t& width, int32_t& height);
    virtual bool tt_getTextSize(int32_t font, Utf16Text text, int32_t& width, int32_t& height);
    virtual bool tt_lastTextLines(int32_t font, int32_t& lines);
    virtual int32_t reserveFontNumber();
    virtual bool releaseFontNumber(int32_t font);
    virtual bool releaseAllFontNumbers();

    // Frame
    virtual bool clearFramebuffer();

    // Layers
    virtual bool resetLayer(int32_t layer);
    virtual bool initLayer_size(int32_t layer, int32_t width, int32_t height);
    virtual bool initLayer_tga(int32_t layer, const char* path);
    virtual bool initLayer_tgaSequence(int32_t layer, const char* prefix, int32_t first,
                                       int32_t last);
    virtual bool setLayerPosition(int32_t layer, int32_t x, int32_t y);
    virtual bool setLayerSize(int32_t layer, int32_t width, int32_t height);
    virtual bool setLayerImageOffset(int32_t layer, int32_t x, int32_t y);
    virtual bool setLayerCursor(int32_t layer, int32_t cursorX, int32_t cursorY, int32_t alignX,
                                int32_t alignY, int32_t growToFit, int32_t drawKind,
                                int32_t drawMode, int32_t drawValue);
    virtual bool setLayerCursor_coordinates(int32_t layer, int32_t cursorX, int32_t cursorY,
                                            int32_t alignX, int32_t alignY);
    virtual bool showLayer(int32_t layer);
    virtual bool hideLayer(int32_t layer);
    virtual bool setLayerBlending(int32_t layer, int32_t mode, int32_t opacity);
    virtual bool copyLayer(int32_t destination, int32_t source);
    virtual bool copyLayerRegion(int32_t destination, int32_t source, int32_t x, int32_t y,
                                 int32_t width, int32_t height);
    virtual bool cropLayerImage(int32_t layer);
    virtual bool cropLayerImage(int32_t layer, int32_t x, int32_t y, int32_t width, int32_t height);
    virtual bool toggleLayers(int32_t first, int32_t second);
    virtual bool clearLayer(int32_t layer);
    virtual bool clearAllLayers();
    virtual bool getLayerImageSize(int32_t layer, int32_t& width, int32_t& height);

    // Animation
    virtual bool setupScroller(int32_t layer, int32_t direction, int32_t startMode, int32_t endMode,
                               int32_t loopMode, int32_t speed);
    virtual bool scrollerPlay(int32_t layer);
    virtual bool scrollerPlay_n(int32_t layer, int32_t count);
    virtual bool scrollerStop(int32_t layer);
    virtual bool scrollerRewind(int32_t layer);
    virtual bool scrollerPlayPair(int32_t first, int32_t second);
    virtual bool scrollerPlayEx_n(int32_t layer, int32_t direction, int32_t speed, int32_t count);
    virtual bool scrollerIsPlaying(int32_t layer, bool& playing);
    virtual bool fadeLayer(int32_t layer, int32_t target, int32_t duration);
    virtual bool crossFadeLayers(int32_t first, int32_t second, int32_t duration);
    virtual bool sequencePlay(int32_t layer, int32_t direction);
    virtual bool sequencePlayRange(int32_t layer, int32_t direction, int32_t first, int32_t last);
    virtual bool setSequenceFrame(int32_t layer, int32_t index);

    // Layer sets
    virtual int32_t createLayerSet();
    virtual bool releaseLayerSet(int32_t set);
    virtual bool layerSetSendBackward(int32_t set);
    virtual bool layerSetBringForward(int32_t set);
    virtual bool releaseAllLayerSets();
    virtual int32_t createLayer(int32_t set);
    virtual bool setLayerSetPosition(int32_t set, int32_t x, int32_t y);

protected:
    // Answer of an operation that this build does not have yet.
    virtual bool notAvailable(const char* operation);
};

} // namespace kavelin
