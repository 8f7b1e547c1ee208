#include "image/Image.h"
#include "layers/Layer.h"
#include "layers/Scene.h"

#include <gtest/gtest.h>

#include <climits>

using namespace kavelin;
using Steps = std::vector<int>;

namespace {

std::shared_ptr<const Image> blank(int w, int h) {
    auto image = std::make_shared<Image>();
    EXPECT_TRUE(image->allocate(w, h));
    return image;
}

// A visible layer with a blank w x h image in a W x H window.
std::unique_ptr<Layer> prepared(int w, int h, int W, int H) {
    auto layer = std::make_unique<Layer>(0);
    layer->setFrames({blank(w, h)}, 1, true);
    EXPECT_TRUE(layer->setSize(W, H));
    layer->show();
    return layer;
}

std::vector<int> stacking(const Scene& scene) {
    std::vector<int> numbers;
    for (const auto& set : scene.sets())
        numbers.push_back(set->number);
    return numbers;
}

Steps steps(Layer& layer, int n, int (Layer::*value)() const) {
    Steps out;
    for (int i = 0; i < n; ++i) {
        layer.update();
        out.push_back((layer.*value)());
    }
    return out;
}

} // namespace

TEST(LayerFade, StepsZeroAndNegativeCountsHiddenLayersAndExtremes) {
    auto layer = prepared(4, 4, 4, 4);
    ASSERT_TRUE(layer->fadeTo(0, 50)); // the first step is taken at once
    EXPECT_EQ(layer->opacity(), 249);
    EXPECT_EQ(steps(*layer, 3, &Layer::opacity), (Steps{244, 239, 234}));
    steps(*layer, 46, &Layer::opacity); // the 50th step: a tiny positive value, still fading
    EXPECT_TRUE(layer->opacity() == 0 && layer->fading());
    layer->update(); // the 51st step ends it
    EXPECT_FALSE(layer->fading());
    ASSERT_TRUE(layer->setBlending(1, 100));
    ASSERT_TRUE(layer->fadeTo(200, 0)); // at once
    EXPECT_TRUE(layer->opacity() == 200 && !layer->fading());
    // A negative count steps away from the target at once, then jumps to it.
    ASSERT_TRUE(layer->fadeTo(100, -2));
    EXPECT_EQ(layer->opacity(), 250);
    EXPECT_EQ(steps(*layer, 1, &Layer::opacity), Steps{100});
    EXPECT_FALSE(layer->fading());
    layer->hide(); // frozen while hidden
    ASSERT_TRUE(layer->fadeTo(0, 10));
    EXPECT_EQ(steps(*layer, 1, &Layer::opacity), Steps{90});
    layer->show();
    EXPECT_EQ(steps(*layer, 1, &Layer::opacity), Steps{80});
    ASSERT_TRUE(layer->fadeTo(INT_MIN, -1));
    EXPECT_EQ(layer->opacity(), INT_MAX);
    EXPECT_EQ(steps(*layer, 1, &Layer::opacity), Steps{INT_MIN});
    ASSERT_TRUE(layer->fadeTo(INT_MAX, 1));
    EXPECT_EQ(layer->opacity(), INT_MAX);
    EXPECT_FALSE(Layer(1).fadeTo(0, 10));
}

TEST(LayerScroller, AllFourDirectionsStartAndEnd) {
    struct Case {
        int w, h, W, H, direction, speed, startX, startY, endAfter, endX, endY;
    };
    // Start and end outside, loop mode 2.
    for (const Case& c : {Case{300, 10, 720, 10, 0, 4, 720, 0, 255, -300, 0},
                          Case{50, 20, 200, 100, 0, 10, 200, 0, 25, -50, 0},
                          Case{50, 20, 200, 100, 1, 10, -50, 0, 25, 200, 0},
                          Case{50, 20, 200, 100, 2, 10, 0, 100, 12, 0, -20},
                          Case{50, 20, 200, 100, 3, 10, 0, -20, 12, 0, 100}}) {
        auto layer = prepared(c.w, c.h, c.W, c.H);
        ASSERT_TRUE(layer->setupScroller(c.direction, 1, 1, 2, c.speed));
        ASSERT_TRUE(layer->scrollerPlay());
        EXPECT_EQ(std::pair(layer->offsetX(), layer->offsetY()), std::pair(c.startX, c.startY));
        int n = 0;
        for (; layer->scrollerIsPlaying() && n < 1000; ++n)
            layer->update();
        EXPECT_EQ(n, c.endAfter) << c.direction;
        layer->update();
        EXPECT_EQ(std::pair(layer->offsetX(), layer->offsetY()), std::pair(c.endX, c.endY));
    }
}

TEST(LayerScroller, LoopModeZeroReentersAndLoopModeOneDrawsTwoCopies) {
    auto layer = prepared(300, 10, 720, 10);
    ASSERT_TRUE(layer->setupScroller(0, 1, 1, 0, 4));
    ASSERT_TRUE(layer->scrollerPlay());
    for (int i = 0; i < 254; ++i)
        layer->update();
    EXPECT_EQ(layer->offsetX(), -296);
    layer->update(); // -300: wraps to -300 + 1020
    EXPECT_EQ(layer->offsetX(), 720);
    EXPECT_TRUE(layer->scrollerIsPlaying());

    ASSERT_TRUE(layer->setupScroller(0, 0, 0, 1, 100));
    ASSERT_TRUE(layer->scrollerPlay());
    // -300 wraps by one image width; the picture is drawn a second time after itself.
    EXPECT_EQ(steps(*layer, 4, &Layer::offsetX), (Steps{-100, -200, 0, -100}));
    EXPECT_EQ(layer->rectCount(), 2);
    EXPECT_EQ(std::tuple(layer->rect(0).srcX, layer->rect(0).width, layer->rect(1).dstX,
                         layer->rect(1).width),
              std::tuple(100, 200, 200, 300));
}

TEST(LayerScroller, CountedRunsStopsRewindsAndSaturation) {
    auto layer = prepared(50, 20, 200, 100);
    ASSERT_TRUE(layer->setupScroller(1, 0, 0, 0, 3));
    ASSERT_TRUE(layer->scrollerRewind());
    ASSERT_EQ(layer->offsetX(), 150);
    ASSERT_TRUE(layer->scrollerPlayPixels(10)); // the last step is shortened
    EXPECT_EQ(steps(*layer, 5, &Layer::offsetX), (Steps{153, 156, 159, 160, 160}));
    EXPECT_FALSE(layer->scrollerIsPlaying());
    // scrollerPlayEx: own direction and speed, loop mode 2, counted, from where it is.
    ASSERT_TRUE(layer->scrollerPlayEx(2, 4, 6));
    EXPECT_EQ(steps(*layer, 3, &Layer::offsetY), (Steps{-4, -6, -6}));
    EXPECT_FALSE(layer->scrollerIsPlaying());
    // Stop pauses; rewind moves back to the start offset only.
    ASSERT_TRUE(layer->scrollerPlayPixels(100));
    layer->update();
    ASSERT_TRUE(layer->scrollerStop());
    EXPECT_EQ(steps(*layer, 1, &Layer::offsetY), Steps{-10});
    EXPECT_FALSE(layer->scrollerIsPlaying());
    ASSERT_TRUE(layer->scrollerRewind());
    EXPECT_EQ(std::pair(layer->offsetX(), layer->offsetY()), std::pair(150, 0));

    // Extreme speeds and offsets stay at the ends of the range.
    ASSERT_TRUE(layer->setupScroller(1, 0, 0, 1, INT_MAX));
    ASSERT_TRUE(layer->setImageOffset(INT_MAX - 5, INT_MIN));
    ASSERT_TRUE(layer->scrollerPlayPixels(INT_MAX));
    EXPECT_EQ(steps(*layer, 2, &Layer::offsetX), (Steps{INT_MAX - 50, INT_MAX - 50}));
    ASSERT_TRUE(layer->setupScroller(0, 0, 0, 0, INT_MAX));
    ASSERT_TRUE(layer->scrollerPlay());
    ASSERT_TRUE(layer->setImageOffset(INT_MIN + 5, 0));
    EXPECT_EQ(steps(*layer, 1, &Layer::offsetX), Steps{INT_MIN + 250});

    EXPECT_FALSE(Layer(1).setupScroller(0, 0, 0, 0, 1)); // no picture
    EXPECT_FALSE(layer->setupScroller(0, 0, 0, 0, -1));
    EXPECT_TRUE(layer->setupScroller(0, 0, 0, 0, 0));
}

TEST(LayerSequence, ForwardBackwardRangesAndWrap) {
    Layer layer(0);
    const std::vector<std::shared_ptr<const Image>> frames = {blank(2, 2), blank(2, 2),
                                                              blank(2, 2)};
    layer.setFrames(frames, 3, true);
    ASSERT_TRUE(layer.fitWindowToImage());
    layer.show();
    EXPECT_EQ(layer.image(), frames[0].get());
    ASSERT_TRUE(layer.playSequence(-1));
    EXPECT_EQ(steps(layer, 4, &Layer::frameIndex), (Steps{2, 1, 0, 2}));
    EXPECT_EQ(layer.image(), frames[2].get());
    ASSERT_TRUE(layer.playSequence(5));
    EXPECT_EQ(steps(layer, 2, &Layer::frameIndex), (Steps{0, 1}));
    // A range from 1 to 1 runs one full cycle and stops with frame 1 on screen.
    ASSERT_TRUE(layer.playSequenceRange(1, 1, 1));
    EXPECT_EQ(steps(layer, 4, &Layer::frameIndex), (Steps{2, 0, 1, 1}));
    EXPECT_FALSE(layer.playing());
    EXPECT_FALSE(layer.playSequenceRange(1, 0, 3) || layer.setFrame(3) || layer.setFrame(-1));
    ASSERT_TRUE(layer.setFrame(2));
    EXPECT_EQ(layer.image(), frames[2].get());

    // A frame that is held but not counted (its picture could not be loaded) is never played.
    Layer cut(1);
    cut.setFrames(frames, 2, true);
    cut.show();
    ASSERT_TRUE(cut.playSequence(1));
    EXPECT_EQ(steps(cut, 3, &Layer::frameIndex), (Steps{1, 0, 1}));
}

TEST(SceneTest, NumbersAreReusedLowestFirstAndTablesGrow) {
    Scene scene;
    for (int i : {0, 1})
        EXPECT_EQ(scene.createSet(), i);
    for (int i : {0, 1, 2})
        EXPECT_EQ(scene.createLayer(i % 2), i);
    EXPECT_EQ(scene.releaseSet(0)->layers.size(), 2u);
    EXPECT_EQ(scene.findLayer(2), nullptr);
    EXPECT_EQ(scene.createSet(), 0);
    EXPECT_EQ(stacking(scene), (std::vector<int>{1, 0})); // the reused number goes on top
    (void)scene.releaseAll();
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(scene.createSet(), i);
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(scene.createLayer(44), i);
    EXPECT_NE(scene.releaseSet(44), nullptr);
    EXPECT_EQ(scene.createLayer(43), 0);
}
