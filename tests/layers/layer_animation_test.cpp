#include "image/Image.h"
#include "layers/Layer.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using kavelin::Layer;

namespace {

// A visible layer with a blank w x h image in a W x H window.
void prepare(Layer& layer, int w, int h, int W, int H) {
    ASSERT_TRUE(layer.initSize(w, h));
    ASSERT_TRUE(layer.setSize(W, H));
    layer.show();
}

std::vector<int> steps(Layer& layer, int n, int (Layer::*value)() const) {
    std::vector<int> out;
    for (int i = 0; i < n; ++i) {
        layer.update();
        out.push_back((layer.*value)());
    }
    return out;
}

} // namespace

TEST(LayerFade, TwoFiftyFiveToZeroOverTwentyFiveFrames) {
    Layer layer;
    prepare(layer, 4, 4, 4, 4);
    ASSERT_TRUE(layer.fadeTo(0, 50));
    EXPECT_EQ(layer.opacity(), 249); // the first step is taken at once
    const std::vector<int> first = steps(layer, 3, &Layer::opacity);
    EXPECT_EQ(first, (std::vector<int>{244, 239, 234}));
    // 46 more steps bring the 50th step: a tiny positive value, still fading.
    steps(layer, 46, &Layer::opacity);
    EXPECT_EQ(layer.opacity(), 0);
    EXPECT_TRUE(layer.fading());
    layer.update(); // the 51st step ends it
    EXPECT_FALSE(layer.fading());
    EXPECT_EQ(layer.opacity(), 0);
}

TEST(LayerFade, ZeroAndNegativeStepsAndHiddenLayers) {
    Layer layer;
    prepare(layer, 4, 4, 4, 4);
    ASSERT_TRUE(layer.setBlending(1, 100));
    ASSERT_TRUE(layer.fadeTo(200, 0));
    EXPECT_EQ(layer.opacity(), 200);
    EXPECT_FALSE(layer.fading());

    // A negative count steps away from the target at once, then jumps to it.
    ASSERT_TRUE(layer.fadeTo(100, -2));
    EXPECT_EQ(layer.opacity(), 250);
    layer.update();
    EXPECT_EQ(layer.opacity(), 100);
    EXPECT_FALSE(layer.fading());

    // Frozen while hidden.
    ASSERT_TRUE(layer.fadeTo(0, 10));
    const int before = layer.opacity();
    layer.hide();
    layer.update();
    EXPECT_EQ(layer.opacity(), before);
    layer.show();
    layer.update();
    EXPECT_LT(layer.opacity(), before);

    Layer empty;
    EXPECT_FALSE(empty.fadeTo(0, 10));
}

TEST(LayerFade, ExtremeTargetsDoNotOverflow) {
    Layer layer;
    prepare(layer, 4, 4, 4, 4);
    ASSERT_TRUE(layer.fadeTo(INT_MIN, -1));
    EXPECT_EQ(layer.opacity(), INT_MAX);
    layer.update();
    EXPECT_EQ(layer.opacity(), INT_MIN);
    ASSERT_TRUE(layer.fadeTo(INT_MAX, 1));
    EXPECT_EQ(layer.opacity(), INT_MAX);
}

TEST(LayerScroller, LeftOnceStopsAtTheEndOffset) {
    Layer layer;
    prepare(layer, 300, 10, 720, 10);
    ASSERT_TRUE(layer.setupScroller(0, 1, 1, 2, 4));
    ASSERT_TRUE(layer.scrollerPlay());
    EXPECT_EQ(layer.offsetX(), 720);
    layer.update();
    EXPECT_EQ(layer.offsetX(), 716);
    int n = 1;
    while (layer.scrollerIsPlaying() && n < 1000) {
        layer.update();
        ++n;
    }
    EXPECT_EQ(n, 255); // 1020 pixels at 4 per step
    EXPECT_EQ(layer.offsetX(), -300);
    layer.update();
    EXPECT_EQ(layer.offsetX(), -300);
}

TEST(LayerScroller, LoopModeZeroReentersAndLoopModeOneDrawsTwoCopies) {
    Layer layer;
    prepare(layer, 300, 10, 720, 10);
    ASSERT_TRUE(layer.setupScroller(0, 1, 1, 0, 4));
    ASSERT_TRUE(layer.scrollerPlay());
    for (int i = 0; i < 254; ++i)
        layer.update();
    EXPECT_EQ(layer.offsetX(), -296);
    layer.update(); // -300: wraps to -300 + 1020
    EXPECT_EQ(layer.offsetX(), 720);
    EXPECT_TRUE(layer.scrollerIsPlaying());

    ASSERT_TRUE(layer.setupScroller(0, 0, 0, 1, 100));
    ASSERT_TRUE(layer.scrollerPlay());
    for (int i = 0; i < 3; ++i)
        layer.update();
    EXPECT_EQ(layer.offsetX(), 0); // -300 wraps by one image width
    EXPECT_EQ(layer.rectCount(), 2);
    EXPECT_EQ(layer.rect(1).dstX, 300);
    layer.update();
    EXPECT_EQ(layer.offsetX(), -100);
    EXPECT_EQ(layer.rect(0).srcX, 100);
    EXPECT_EQ(layer.rect(0).width, 200);
    EXPECT_EQ(layer.rect(1).dstX, 200);
    EXPECT_EQ(layer.rect(1).width, 300);
}

TEST(LayerScroller, AllFourDirectionsStartAndEnd) {
    struct Case {
        int direction, startX, startY, endAfter, endX, endY;
    };
    // 50 x 20 image in a 200 x 100 window, start and end outside, loop mode 2, speed 10.
    const Case cases[] = {
        {0, 200, 0, 25, -50, 0},
        {1, -50, 0, 25, 200, 0},
        {2, 0, 100, 12, 0, -20},
        {3, 0, -20, 12, 0, 100},
    };
    for (const Case& c : cases) {
        Layer layer;
        prepare(layer, 50, 20, 200, 100);
        ASSERT_TRUE(layer.setupScroller(c.direction, 1, 1, 2, 10));
        ASSERT_TRUE(layer.scrollerPlay());
        EXPECT_EQ(layer.offsetX(), c.startX) << c.direction;
        EXPECT_EQ(layer.offsetY(), c.startY) << c.direction;
        int n = 0;
        while (layer.scrollerIsPlaying() && n < 100) {
            layer.update();
            ++n;
        }
        EXPECT_EQ(n, c.endAfter) << c.direction;
        EXPECT_EQ(layer.offsetX(), c.endX) << c.direction;
        EXPECT_EQ(layer.offsetY(), c.endY) << c.direction;
    }
}

TEST(LayerScroller, CountedRunsShortenTheirLastStep) {
    Layer layer;
    prepare(layer, 50, 20, 200, 100);
    ASSERT_TRUE(layer.setupScroller(1, 0, 0, 0, 3));
    ASSERT_TRUE(layer.scrollerRewind());
    const int start = layer.offsetX();
    ASSERT_TRUE(layer.scrollerPlayPixels(10));
    EXPECT_EQ(steps(layer, 5, &Layer::offsetX),
              (std::vector<int>{start + 3, start + 6, start + 9, start + 10, start + 10}));
    EXPECT_FALSE(layer.scrollerIsPlaying());

    // scrollerPlayEx: own direction and speed, loop mode 2, counted, from where it is.
    ASSERT_TRUE(layer.scrollerPlayEx(2, 4, 6));
    EXPECT_EQ(steps(layer, 3, &Layer::offsetY), (std::vector<int>{-4, -6, -6}));
    EXPECT_FALSE(layer.scrollerIsPlaying());

    // Stop pauses, rewind moves back to the start offset only.
    ASSERT_TRUE(layer.scrollerPlayPixels(100));
    layer.update();
    ASSERT_TRUE(layer.scrollerStop());
    const int stoppedAt = layer.offsetY();
    layer.update();
    EXPECT_EQ(layer.offsetY(), stoppedAt);
    EXPECT_FALSE(layer.scrollerIsPlaying());

    Layer empty;
    EXPECT_FALSE(empty.setupScroller(0, 0, 0, 0, 1));
    EXPECT_FALSE(empty.scrollerPlay());
    EXPECT_TRUE(empty.scrollerStop());
    EXPECT_TRUE(empty.scrollerRewind());
    EXPECT_FALSE(layer.setupScroller(0, 0, 0, 0, -1));
    EXPECT_TRUE(layer.setupScroller(0, 0, 0, 0, 0));
}

TEST(LayerScroller, ExtremeSpeedsAndOffsetsSaturate) {
    Layer layer;
    prepare(layer, 50, 20, 200, 100);
    ASSERT_TRUE(layer.setupScroller(1, 0, 0, 1, INT_MAX));
    ASSERT_TRUE(layer.setImageOffset(INT_MAX - 5, INT_MIN));
    ASSERT_TRUE(layer.scrollerPlayPixels(INT_MAX));
    for (int i = 0; i < 3; ++i)
        layer.update();
    ASSERT_TRUE(layer.setupScroller(0, 0, 0, 0, INT_MAX));
    ASSERT_TRUE(layer.setImageOffset(INT_MIN + 5, 0));
    ASSERT_TRUE(layer.scrollerPlay());
    ASSERT_TRUE(layer.setImageOffset(INT_MIN + 5, 0));
    for (int i = 0; i < 3; ++i)
        layer.update();
    SUCCEED(); // UBSan reports any overflow
}

TEST(LayerSequence, ForwardBackwardRangesAndWrap) {
    Layer layer;
    ASSERT_TRUE(layer.beginSequence());
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(layer.addFrame(2, 2), nullptr);
    ASSERT_TRUE(layer.fitWindowToImage());
    layer.show();
    EXPECT_EQ(layer.frameCount(), 3);
    EXPECT_EQ(layer.image(), layer.frame(0));

    ASSERT_TRUE(layer.playSequence(-1));
    EXPECT_EQ(steps(layer, 4, &Layer::frameIndex), (std::vector<int>{2, 1, 0, 2}));
    EXPECT_EQ(layer.image(), layer.frame(2));
    ASSERT_TRUE(layer.playSequence(5));
    EXPECT_EQ(steps(layer, 2, &Layer::frameIndex), (std::vector<int>{0, 1}));

    // A range from 1 to 1 runs one full cycle and stops with frame 1 on screen.
    ASSERT_TRUE(layer.playSequenceRange(1, 1, 1));
    EXPECT_EQ(steps(layer, 4, &Layer::frameIndex), (std::vector<int>{2, 0, 1, 1}));
    EXPECT_FALSE(layer.playing());
    EXPECT_FALSE(layer.playSequenceRange(1, 0, 3));
    EXPECT_FALSE(layer.setFrame(3));
    EXPECT_FALSE(layer.setFrame(-1));
    ASSERT_TRUE(layer.setFrame(2));
    EXPECT_EQ(layer.image(), layer.frame(2));
}

TEST(LayerSequence, AThousandFramesAtMost) {
    Layer layer;
    ASSERT_TRUE(layer.beginSequence());
    for (int i = 0; i < Layer::kMaxFrames; ++i)
        ASSERT_NE(layer.addFrame(1, 1), nullptr);
    EXPECT_EQ(layer.addFrame(1, 1), nullptr);
    EXPECT_EQ(layer.frameCount(), Layer::kMaxFrames);
    // A failed allocation keeps the count.
    Layer other;
    ASSERT_TRUE(other.beginSequence());
    EXPECT_EQ(other.addFrame(-1, 5), nullptr);
    EXPECT_EQ(other.frameCount(), 0);
}
