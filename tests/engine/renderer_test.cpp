#include "engine/Renderer.h"
#include "image/FrameBuffer.h"
#include "image/Image.h"
#include "layers/Layer.h"
#include "layers/LayerSet.h"
#include "support/RecordingLog.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace kavelin;
using Lines = std::vector<std::string>;

namespace {

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(renderer.init(720, 576, true, {0, 0, 0, 255})); }
    std::string file(const std::string& name) const { return temp.file(name); }
    Lines take() {
        Lines lines = log.lines();
        log.clear();
        return lines;
    }
    // One set with n layers; returns the layer numbers.
    std::vector<int> layersInNewSet(int n) {
        const int set = renderer.createLayerSet();
        std::vector<int> numbers;
        for (int i = 0; i < n; ++i)
            numbers.push_back(renderer.createLayer(set));
        return numbers;
    }
    std::vector<int> stacking() const {
        std::vector<int> out;
        for (int i = 0; i < renderer.stackingOrder().count(); ++i)
            for (int n = 0; n < 64; ++n)
                if (renderer.findLayerSet(n) == renderer.stackingOrder().get(i))
                    out.push_back(n);
        return out;
    }

    test::RecordingLog log;
    Renderer renderer{log};
    test::TempDir temp{"kavelin-renderer"};
};

} // namespace

TEST_F(RendererTest, SetAndLayerNumbersAreReusedLowestFirst) {
    EXPECT_EQ(renderer.createLayerSet(), 0);
    EXPECT_EQ(renderer.createLayerSet(), 1);
    EXPECT_EQ(renderer.createLayer(0), 0);
    EXPECT_EQ(renderer.createLayer(1), 1);
    EXPECT_EQ(renderer.createLayer(0), 2);
    EXPECT_EQ(renderer.findLayer(2)->number(), 2);
    EXPECT_EQ(renderer.createLayer(7), -1);
    EXPECT_EQ(take(), Lines{"ERROR (createLayer): Invalid layer set number (7)"});

    EXPECT_TRUE(renderer.releaseLayerSet(0));
    EXPECT_EQ(take(), Lines{"Layer set 0 released."});
    EXPECT_EQ(renderer.findLayer(0), nullptr);
    EXPECT_EQ(renderer.findLayer(2), nullptr);
    EXPECT_FALSE(renderer.resetLayer(2));
    EXPECT_EQ(take(), Lines{"ERROR : No layer found for number 2."});
    EXPECT_EQ(renderer.createLayerSet(), 0);
    EXPECT_EQ(stacking(), (std::vector<int>{1, 0})); // the reused number goes on top
    EXPECT_EQ(renderer.createLayer(0), 0);

    EXPECT_FALSE(renderer.releaseLayerSet(5));
    EXPECT_FALSE(renderer.releaseLayerSet(-1));
    EXPECT_EQ(take(), (Lines{"ERROR (releaseLayerSet): Invalid layer set number (5)",
                             "ERROR (releaseLayerSet): Invalid layer set number (-1)"}));

    EXPECT_TRUE(renderer.releaseAllLayerSets());
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(renderer.createLayerSet(), 0);
    EXPECT_EQ(renderer.createLayer(0), 0);
}

TEST_F(RendererTest, TablesGrowPastTwenty) {
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(renderer.createLayerSet(), i);
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(renderer.createLayer(44), i);
    EXPECT_TRUE(renderer.resetLayer(44));
    EXPECT_TRUE(renderer.releaseLayerSet(44));
    EXPECT_EQ(renderer.createLayer(43), 0);
}

TEST_F(RendererTest, StackingOrderMoves) {
    for (int i = 0; i < 3; ++i)
        renderer.createLayerSet(); // P=0, Q=1, R=2
    EXPECT_TRUE(renderer.layerSetSendBackward(0));
    EXPECT_EQ(stacking(), (std::vector<int>{1, 0, 2}));
    EXPECT_TRUE(renderer.layerSetBringForward(2));
    EXPECT_EQ(stacking(), (std::vector<int>{1, 2, 0}));
    EXPECT_TRUE(renderer.layerSetSendBackward(0)); // last already
    EXPECT_TRUE(renderer.layerSetBringForward(1)); // first already
    EXPECT_EQ(stacking(), (std::vector<int>{1, 2, 0}));
    EXPECT_TRUE(take().empty());
    EXPECT_FALSE(renderer.layerSetSendBackward(9));
    EXPECT_FALSE(renderer.layerSetBringForward(-1));
    EXPECT_FALSE(renderer.setLayerSetPosition(5, 0, 0));
    EXPECT_EQ(take(), (Lines{"ERROR (layerSetSendBackward): Invalid layer set number (9)",
                             "ERROR (layerSetBringForward): Invalid layer set number (-1)",
                             "ERROR (setLayerSetPosition): Invalid layer set number (5)"}));
}

TEST_F(RendererTest, ContentCommandsAndTheirLogLines) {
    const int layer = layersInNewSet(1)[0];
    EXPECT_TRUE(renderer.initLayer_size(layer, 0, 0));
    EXPECT_FALSE(renderer.initLayer_size(layer, -1, 10));
    EXPECT_EQ(take(),
              (Lines{"Layer 0 initialized to 0 x 0", "ERROR (initLayer_size) : init failed."}));

    ASSERT_TRUE(test::writeTga(file("logo.tga"), 3, 2, test::solid(3, 2, 0x00112233), 24));
    EXPECT_TRUE(renderer.initLayer_tga(layer, file("logo.tga").c_str()));
    EXPECT_EQ(take(), Lines{"Layer 0 initialized. (tga)"});
    Image* image = renderer.findLayer(layer)->image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), 3);
    EXPECT_EQ(image->pixels()[3], 255); // 24-bit files are opaque
    int w = 0, h = 0;
    EXPECT_TRUE(renderer.getLayerImageSize(layer, w, h));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);

    const std::string missing = file("missing.tga");
    EXPECT_FALSE(renderer.initLayer_tga(layer, missing.c_str()));
    EXPECT_EQ(take(), Lines{"ERROR (initLayer_tga) : init failed. (" + missing + ")"});
    EXPECT_FALSE(renderer.getLayerImageSize(layer, w, h));
    EXPECT_FALSE(renderer.getLayerImageSize(77, w, h));
    EXPECT_EQ(take(), (Lines{"ERROR (getLayerImageSize) : Layer 0 has no image.",
                             "ERROR (getLayerImageSize) : No layer found for number 77."}));

    EXPECT_FALSE(renderer.clearLayer(layer));
    EXPECT_TRUE(renderer.clearAllLayers());
    EXPECT_TRUE(renderer.resetLayer(layer));
    EXPECT_EQ(take(), (Lines{"ERROR (clearLayer) : Failed to clear layer 0.", "All layers cleared.",
                             "Layer 0 reseted."}));
}

TEST_F(RendererTest, SequencesStopAtTheFirstMissingFile) {
    const int layer = layersInNewSet(1)[0];
    const std::string prefix = file("run_");
    for (int i : {1, 2, 3, 5})
        ASSERT_TRUE(test::writeTga(prefix + "000" + std::to_string(i) + ".tga", 2, 2,
                                   test::solid(2, 2, 0xFF000000u + static_cast<uint32_t>(i))));
    EXPECT_TRUE(renderer.initLayer_tgaSequence(layer, prefix.c_str(), 1, 5));
    EXPECT_EQ(take(), (Lines{"Layer 0 Loading tga sequence " + prefix,
                             "ERROR : Failed to open file " + prefix + "0004.tga",
                             "WARNING (initLayer_tgaSequence) : Only the frames 1 - 3 loaded."}));
    EXPECT_EQ(renderer.findLayer(layer)->frameCount(), 3);

    EXPECT_FALSE(renderer.initLayer_tgaSequence(layer, prefix.c_str(), 4, 5));
    EXPECT_EQ(take(), (Lines{"Layer 0 Loading tga sequence " + prefix,
                             "ERROR : Failed to open file " + prefix + "0004.tga",
                             "ERROR (initLayer_tgaSequence) : Failed to load frames."}));

    EXPECT_TRUE(renderer.initLayer_tgaSequence(layer, prefix.c_str(), 5, 1));
    EXPECT_EQ(take().back(), "Layer 0 initialized. (sequence)");
    EXPECT_EQ(renderer.findLayer(layer)->frameCount(), 1);

    const std::string longPrefix(300, 'x');
    EXPECT_FALSE(renderer.initLayer_tgaSequence(layer, longPrefix.c_str(), 1, 2));
    const Lines lines = take();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "ERROR : Failed to open file " + longPrefix.substr(0, 259));
}

TEST_F(RendererTest, GeometryAttributeAndAnimationMessages) {
    const int layer = layersInNewSet(1)[0];
    EXPECT_TRUE(renderer.showLayer(layer)); // no image: stays invisible
    EXPECT_FALSE(renderer.findLayer(layer)->isVisible());
    EXPECT_FALSE(renderer.setLayerCursor(layer, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_FALSE(renderer.setLayerCursor_coordinates(layer, 0, 0, 0, 0));
    EXPECT_FALSE(renderer.cropLayerImage(layer, 0, 0, 0, 5));
    EXPECT_FALSE(renderer.cropLayerImage(layer, 0, 0, 5, 5));
    EXPECT_FALSE(renderer.setLayerBlending(layer, 1, 256));
    EXPECT_FALSE(renderer.fadeLayer(layer, 0, 10));
    EXPECT_FALSE(renderer.crossFadeLayers(layer, layer, -1));
    EXPECT_FALSE(renderer.scrollerPlayEx_n(layer, 0, 0, -1));
    EXPECT_FALSE(renderer.scrollerPlayEx_n(layer, 0, 2, -1));
    EXPECT_FALSE(renderer.scrollerPlay_n(layer, -3));
    EXPECT_FALSE(renderer.setupScroller(layer, 0, 0, 0, 0, 1));
    EXPECT_FALSE(renderer.sequencePlay(layer, 1));
    EXPECT_FALSE(renderer.sequencePlayRange(layer, 1, 0, 1));
    EXPECT_FALSE(renderer.setSequenceFrame(layer, 5));
    EXPECT_EQ(take(), (Lines{"Layer 0 set visible.", "ERROR (setLayerCursor) : Operation failed.",
                             "ERROR (setLayerCursor_coordinates) : failed.",
                             "ERROR (cropLayerImage) : invalid dimensions. (0 x 5)",
                             "ERROR (cropLayerImage) : Crop failed.",
                             "ERROR (setLayerBlending) : Opacity value 256 out of range.",
                             "ERROR (fadeLayer) : fade failed!",
                             "ERROR (crossFadeLayers) : invalid frame count -1.",
                             "ERROR (scrollerPlayEx_n) : Illegal speed 0.",
                             "ERROR (scrollerPlayEx_n) : Illegal pixel count -1.",
                             "ERROR (scrollerPlay_n) : Illegal pixel count -3.",
                             "ERROR (setupScroller) : Setup failed.",
                             "ERROR (sequencePlay) : Operation failed.",
                             "Playing sequence on layer 0. (frames 0 to 1)",
                             "Layer 0 sequence set to frame 5."}));

    ASSERT_TRUE(renderer.initLayer_size(layer, 300, 100));
    take();
    EXPECT_TRUE(renderer.setLayerPosition(layer, 10, -20));
    EXPECT_TRUE(renderer.setLayerSize(layer, 200, 100));
    EXPECT_FALSE(renderer.setLayerSize(layer, -1, 100));
    EXPECT_TRUE(renderer.setLayerImageOffset(layer, -50, 0));
    EXPECT_TRUE(renderer.cropLayerImage(layer));
    EXPECT_EQ(renderer.findLayer(layer)->image()->width(), 200);
    EXPECT_EQ(renderer.findLayer(layer)->offsetX(), 0);
    EXPECT_TRUE(renderer.cropLayerImage(layer, 10, 10, 50, 20));
    EXPECT_TRUE(renderer.setLayerCursor(layer, 1, 2, 0, 0, 1, 1, 2, 128));
    EXPECT_TRUE(renderer.setLayerCursor_coordinates(layer, 3, 4, 2, 2));
    EXPECT_TRUE(renderer.setLayerBlending(layer, 0, 10));
    EXPECT_TRUE(renderer.showLayer(layer));
    EXPECT_TRUE(renderer.hideLayer(layer));
    EXPECT_TRUE(renderer.setupScroller(layer, 0, 1, 1, 2, 4));
    EXPECT_TRUE(renderer.scrollerPlay(layer));
    EXPECT_TRUE(renderer.scrollerPlay_n(layer, 10));
    EXPECT_TRUE(renderer.scrollerPlayEx_n(layer, 3, 2, 8));
    EXPECT_TRUE(renderer.scrollerPlayPair(layer, layer));
    EXPECT_TRUE(renderer.fadeLayer(layer, 0, 25));
    EXPECT_TRUE(renderer.crossFadeLayers(layer, layer, 0));
    EXPECT_TRUE(renderer.copyLayer(layer, layer));
    EXPECT_EQ(take(),
              (Lines{"Layer 0 position set to (10, -20)", "Layer 0 size set to 200 x 100",
                     "ERROR (setLayerSize) : Operation failed.", "Layer 0 image cropped.",
                     "Layer 0 image cropped to 50x20.", "Layer 0 cursor set.",
                     "Layer 0 cursor set to coordinates (3, 4).", "Layer 0 set visible.",
                     "Layer 0 hidden.", "Layer 0 scroller setup done.", "Layer 0 scroller playing.",
                     "Layer 0 scroller playing for 10 pixels.",
                     "Layer 0 scrolling for 8 pixels, to direction 3, at speed 2.",
                     "Scrollers started on layers 0 and 0.", "Layer 0 fading to 0 in 25 frames.",
                     "Layers 0 and 0 crossfading in 0 frames.", "Layer 0 copied to layer 0."}));
}

TEST_F(RendererTest, TwoLayerCommandsNameTheFirstMissingNumber) {
    const int a = layersInNewSet(1)[0];
    EXPECT_FALSE(renderer.copyLayer(5, 6));
    EXPECT_FALSE(renderer.copyLayer(a, 6));
    EXPECT_FALSE(renderer.toggleLayers(9, a));
    EXPECT_FALSE(renderer.crossFadeLayers(a, -4, 3));
    EXPECT_FALSE(renderer.scrollerPlayPair(8, 9));
    EXPECT_EQ(
        take(),
        (Lines{"ERROR : No layer found for number 5.", "ERROR : No layer found for number 6.",
               "ERROR : No layer found for number 9.", "ERROR : No layer found for number -4.",
               "ERROR : No layer found for number 8."}));
}

TEST_F(RendererTest, ToggleSwapsVisibility) {
    const std::vector<int> l = layersInNewSet(2);
    ASSERT_TRUE(renderer.initLayer_size(l[0], 2, 2));
    ASSERT_TRUE(renderer.initLayer_size(l[1], 2, 2));
    Layer& a = *renderer.findLayer(l[0]);
    Layer& b = *renderer.findLayer(l[1]);
    EXPECT_TRUE(renderer.toggleLayers(l[0], l[1])); // both hidden: a shows
    EXPECT_TRUE(a.isVisible());
    EXPECT_FALSE(b.isVisible());
    EXPECT_TRUE(renderer.toggleLayers(l[0], l[1]));
    EXPECT_FALSE(a.isVisible());
    EXPECT_TRUE(b.isVisible());
}

TEST_F(RendererTest, CopyIntoAGrowingLayerKeepsItsContentInPlace) {
    const std::vector<int> l = layersInNewSet(2);
    ASSERT_TRUE(renderer.initLayer_size(l[0], 10, 10));
    ASSERT_TRUE(renderer.initLayer_size(l[1], 4, 4));
    ASSERT_TRUE(renderer.setLayerCursor(l[0], -20, 0, 0, 0, 1, 0, 0, 0));
    EXPECT_TRUE(renderer.copyLayer(l[0], l[1]));
    EXPECT_EQ(renderer.findLayer(l[0])->image()->width(), 30);
    EXPECT_EQ(renderer.findLayer(l[0])->offsetX(), -20);
    // A layer copied onto itself reads its pixels before any of them changes.
    ASSERT_TRUE(renderer.setLayerCursor(l[1], 1, 0, 0, 0, 0, 0, 0, 0));
    Image& image = *renderer.findLayer(l[1])->image();
    for (int i = 0; i < 16; ++i)
        image.pixels()[i * 4] = static_cast<uint8_t>(i);
    EXPECT_TRUE(renderer.copyLayer(l[1], l[1]));
    EXPECT_EQ(image.pixels()[4], 0);
    EXPECT_EQ(image.pixels()[8], 1);
    EXPECT_EQ(image.pixels()[12], 2);
}

TEST_F(RendererTest, HiddenFramesStillAdvanceAnimations) {
    const int layer = layersInNewSet(1)[0];
    ASSERT_TRUE(renderer.initLayer_size(layer, 2, 2));
    ASSERT_TRUE(renderer.showLayer(layer));
    ASSERT_TRUE(renderer.fadeLayer(layer, 0, 25));
    renderer.renderFrame(nullptr, false, -1);
    renderer.renderFrame(nullptr, false, -1);
    EXPECT_EQ(renderer.findLayer(layer)->opacity(), 239);
}

TEST_F(RendererTest, DrawingRulesOfOneLayer) {
    EXPECT_TRUE(renderer.clearFramebuffer());
    EXPECT_EQ(take(), Lines{"Framebuffer cleared."});

    const int number = layersInNewSet(1)[0];
    ASSERT_TRUE(renderer.initLayer_size(number, 4, 4));
    Layer& layer = *renderer.findLayer(number);
    std::memset(layer.image()->pixels(), 0xFF, 4 * 4 * 4); // opaque white
    ASSERT_TRUE(renderer.setLayerBlending(number, 0, 255));
    ASSERT_TRUE(renderer.showLayer(number));
    auto target = FrameBuffer::create(8, 8);
    auto white = [&](int x, int y) {
        return target->pixels()[y * target->pitch() + x * 4] == 0xFF;
    };

    // Interlaced, field 1, layer at y 2: the first row drawn is 3, then every second row.
    layer.update();
    layer.draw(target.get(), 0, 2, true, 1);
    EXPECT_FALSE(white(0, 2));
    EXPECT_TRUE(white(0, 3));
    EXPECT_FALSE(white(0, 4));
    EXPECT_TRUE(white(0, 5));
    EXPECT_FALSE(white(0, 6));

    // A 0 x 0 window and blending modes other than 0 and 1 draw nothing.
    target = FrameBuffer::create(8, 8);
    ASSERT_TRUE(renderer.setLayerSize(number, 0, 0));
    layer.update();
    layer.draw(target.get(), 0, 0, false, -1);
    EXPECT_FALSE(white(0, 0));
    ASSERT_TRUE(renderer.setLayerSize(number, 4, 4));
    ASSERT_TRUE(renderer.setLayerBlending(number, 2, 255));
    layer.update();
    layer.draw(target.get(), 0, 0, false, -1);
    EXPECT_FALSE(white(0, 0));
    ASSERT_TRUE(renderer.setLayerBlending(number, 0, 255));
    layer.draw(target.get(), 6, 6, false, -1); // clipped at the frame's edge
    EXPECT_TRUE(white(7, 7));
    EXPECT_FALSE(white(5, 5));

    // Reset keeps the number and the place in the set but hides and empties the layer.
    ASSERT_TRUE(renderer.fadeLayer(number, 0, 10));
    ASSERT_TRUE(renderer.resetLayer(number));
    EXPECT_EQ(renderer.findLayer(number), &layer);
    EXPECT_FALSE(layer.isVisible());
    EXPECT_FALSE(layer.fading());
    EXPECT_EQ(layer.opacity(), 255);
    EXPECT_EQ(layer.blendMode(), 1);
}
