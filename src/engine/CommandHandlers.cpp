#include "engine/CommandHandlers.h"

namespace kavelin {

bool CommandHandlers::loadFont(int32_t, const char*, int32_t, bool, bool, int32_t, int32_t) {
    return notAvailable("loadFont");
}
bool CommandHandlers::loadSpriteFont(int32_t, const char*, int32_t, int32_t, int32_t, int32_t,
                                     int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                     int32_t) {
    return notAvailable("loadSpriteFont");
}
bool CommandHandlers::initLayer_text(int32_t, int32_t, int32_t, int32_t, const char*, int32_t,
                                     int32_t, int32_t) {
    return notAvailable("initLayer_text");
}
bool CommandHandlers::initLayer_text_fit(int32_t, int32_t, int32_t, int32_t, const char*, int32_t,
                                         int32_t, int32_t) {
    return notAvailable("initLayer_text_fit");
}
bool CommandHandlers::drawText(int32_t, int32_t, int32_t, int32_t, const char*, int32_t, int32_t,
                               int32_t) {
    return notAvailable("drawText");
}
bool CommandHandlers::drawText(int32_t, int32_t, int32_t, int32_t, Utf16Text, uint32_t, bool,
                               int32_t) {
    return notAvailable("drawText");
}
bool CommandHandlers::addFontEffect(int32_t, int32_t, const FontEffectValues&) {
    return notAvailable("addFontEffect");
}
bool CommandHandlers::tt_lastTextSize(int32_t, int32_t&, int32_t&) {
    return notAvailable("tt_lastTextSize");
}
bool CommandHandlers::sf_lastTextSize(int32_t, int32_t&, int32_t&) {
    return notAvailable("sf_lastTextSize");
}
bool CommandHandlers::tt_getTextSize(int32_t, Utf16Text, int32_t&, int32_t&) {
    return notAvailable("tt_getTextSize");
}
bool CommandHandlers::tt_lastTextLines(int32_t, int32_t&) {
    return notAvailable("tt_lastTextLines");
}
int32_t CommandHandlers::reserveFontNumber() {
    notAvailable("reserveFontNumber");
    return -1;
}
bool CommandHandlers::releaseFontNumber(int32_t) {
    return notAvailable("releaseFontNumber");
}
bool CommandHandlers::releaseAllFontNumbers() {
    return notAvailable("releaseAllFontNumbers");
}
bool CommandHandlers::clearFramebuffer() {
    return notAvailable("clearFramebuffer");
}
bool CommandHandlers::resetLayer(int32_t) {
    return notAvailable("resetLayer");
}
bool CommandHandlers::initLayer_size(int32_t, int32_t, int32_t) {
    return notAvailable("initLayer_size");
}
bool CommandHandlers::initLayer_tga(int32_t, const char*) {
    return notAvailable("initLayer_tga");
}
bool CommandHandlers::initLayer_tgaSequence(int32_t, const char*, int32_t, int32_t) {
    return notAvailable("initLayer_tgaSequence");
}
bool CommandHandlers::setLayerPosition(int32_t, int32_t, int32_t) {
    return notAvailable("setLayerPosition");
}
bool CommandHandlers::setLayerSize(int32_t, int32_t, int32_t) {
    return notAvailable("setLayerSize");
}
bool CommandHandlers::setLayerImageOffset(int32_t, int32_t, int32_t) {
    return notAvailable("setLayerImageOffset");
}
bool CommandHandlers::setLayerCursor(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                     int32_t, int32_t) {
    return notAvailable("setLayerCursor");
}
bool CommandHandlers::setLayerCursor_coordinates(int32_t, int32_t, int32_t, int32_t, int32_t) {
    return notAvailable("setLayerCursor_coordinates");
}
bool CommandHandlers::showLayer(int32_t) {
    return notAvailable("showLayer");
}
bool CommandHandlers::hideLayer(int32_t) {
    return notAvailable("hideLayer");
}
bool CommandHandlers::setLayerBlending(int32_t, int32_t, int32_t) {
    return notAvailable("setLayerBlending");
}
bool CommandHandlers::copyLayer(int32_t, int32_t) {
    return notAvailable("copyLayer");
}
bool CommandHandlers::copyLayerRegion(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return notAvailable("copyLayerRegion");
}
bool CommandHandlers::cropLayerImage(int32_t) {
    return notAvailable("cropLayerImage");
}
bool CommandHandlers::cropLayerImage(int32_t, int32_t, int32_t, int32_t, int32_t) {
    return notAvailable("cropLayerImage");
}
bool CommandHandlers::toggleLayers(int32_t, int32_t) {
    return notAvailable("toggleLayers");
}
bool CommandHandlers::clearLayer(int32_t) {
    return notAvailable("clearLayer");
}
bool CommandHandlers::clearAllLayers() {
    return notAvailable("clearAllLayers");
}
bool CommandHandlers::getLayerImageSize(int32_t, int32_t&, int32_t&) {
    return notAvailable("getLayerImageSize");
}
bool CommandHandlers::setupScroller(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return notAvailable("setupScroller");
}
bool CommandHandlers::scrollerPlay(int32_t) {
    return notAvailable("scrollerPlay");
}
bool CommandHandlers::scrollerPlay_n(int32_t, int32_t) {
    return notAvailable("scrollerPlay_n");
}
bool CommandHandlers::scrollerStop(int32_t) {
    return notAvailable("scrollerStop");
}
bool CommandHandlers::scrollerRewind(int32_t) {
    return notAvailable("scrollerRewind");
}
bool CommandHandlers::scrollerPlayPair(int32_t, int32_t) {
    return notAvailable("scrollerPlayPair");
}
bool CommandHandlers::scrollerPlayEx_n(int32_t, int32_t, int32_t, int32_t) {
    return notAvailable("scrollerPlayEx_n");
}
bool CommandHandlers::scrollerIsPlaying(int32_t, bool&) {
    return notAvailable("scrollerIsPlaying");
}
bool CommandHandlers::fadeLayer(int32_t, int32_t, int32_t) {
    return notAvailable("fadeLayer");
}
bool CommandHandlers::crossFadeLayers(int32_t, int32_t, int32_t) {
    return notAvailable("crossFadeLayers");
}
bool CommandHandlers::sequencePlay(int32_t, int32_t) {
    return notAvailable("sequencePlay");
}
bool CommandHandlers::sequencePlayRange(int32_t, int32_t, int32_t, int32_t) {
    return notAvailable("sequencePlayRange");
}
bool CommandHandlers::setSequenceFrame(int32_t, int32_t) {
    return notAvailable("setSequenceFrame");
}
int32_t CommandHandlers::createLayerSet() {
    notAvailable("createLayerSet");
    return -1;
}
bool CommandHandlers::releaseLayerSet(int32_t) {
    return notAvailable("releaseLayerSet");
}
bool CommandHandlers::layerSetSendBackward(int32_t) {
    return notAvailable("layerSetSendBackward");
}
bool CommandHandlers::layerSetBringForward(int32_t) {
    return notAvailable("layerSetBringForward");
}
bool CommandHandlers::releaseAllLayerSets() {
    return notAvailable("releaseAllLayerSets");
}
int32_t CommandHandlers::createLayer(int32_t) {
    notAvailable("createLayer");
    return -1;
}
bool CommandHandlers::setLayerSetPosition(int32_t, int32_t, int32_t) {
    return notAvailable("setLayerSetPosition");
}

bool CommandHandlers::notAvailable(const char*) {
    return false;
}

} // namespace kavelin
