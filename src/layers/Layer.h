#pragma once

#include "base/MemoryBudget.h"
#include "image/DrawCursor.h"
#include "image/Image.h"
#include "layers/DrawItem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace kavelin {

// One picture of a layer: a still, or one frame of a sequence, with the cursor and settings with
// which other pictures are drawn into it.
struct LayerFrame {
    std::shared_ptr<const Image> image;
    DrawCursor cursor;
};
using LayerFrames = std::vector<LayerFrame>;

// One compositing plane: up to 1000 pictures, one of them shown through a window placed in the
// picture, with blending, opacity and three animations (sequence, scroller, fade).
//
// A layer is changed by commands and advanced by the frame path, both under the scene's lock.
// Its pictures are shared and never change once set: commands that change a picture build the
// new one first and set it in one step. Operations that drop pictures hand them back, so that
// the caller can let them go after the lock.
class Layer {
public:
    static constexpr int32_t kMaxFrames = 1000;

    explicit Layer(int32_t number) : number_(number) { reset(); }
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    int32_t number() const { return number_; }
    void setNumber(int32_t number) { number_ = number; }
    // What the layer itself counts against the memory budget, given back when it goes.
    void holdShare(BudgetShare share) { share_ = std::move(share); }
    // The picture shown, or none.
    const Image* image() const {
        return current_ < 0 ? nullptr : frames_[size_t(current_)].image.get();
    }
    const std::shared_ptr<const Image>& imageRef() const;
    // The cursor of the picture shown; none without a picture.
    DrawCursor* cursor() { return current_ < 0 ? nullptr : &frames_[size_t(current_)].cursor; }
    const DrawCursor* cursor() const {
        return current_ < 0 ? nullptr : &frames_[size_t(current_)].cursor;
    }
    // Which of the pictures is shown (-1: none); a picture set with replaceImage goes there.
    int32_t currentSlot() const { return current_; }
    // The picture shown, to draw into in place, when nothing but this layer can see it: the
    // layer is hidden (the frame path leaves it alone until a command shows it) and holds the
    // only reference. None otherwise: then a command draws into a copy and replaces the picture.
    Image* privatePicture();

    // Back to the empty, hidden state; number, rects, scroller settings and fade progress stay.
    LayerFrames reset();
    // The picture shown becomes `empty`, a 0 x 0 picture made beforehand (several layers may
    // share one); false without a picture.
    bool clearImage(std::shared_ptr<const Image> empty);

    // The frame step: animations, then the draw rectangles. Only for visible layers with a picture.
    void update();
    // False (and hidden from now on) without a picture.
    bool isVisible();
    // What the frame path draws of this layer at its position plus (setX, setY); false when
    // the layer draws nothing (hidden, no picture, or a blend mode other than 0 and 1).
    bool drawItem(int32_t setX, int32_t setY, DrawItem& item);

    // Content: the layer is reset and holds these pictures; the first one is shown. Frames
    // beyond `counted` are held but not played (a sequence whose last picture failed).
    LayerFrames setFrames(std::vector<std::shared_ptr<const Image>> pictures, int32_t counted,
                          bool showFirst);
    // Replaces the picture in one slot, keeping its cursor.
    std::shared_ptr<const Image> replaceImage(int32_t slot, std::shared_ptr<const Image> image);
    void setWindow(int32_t width, int32_t height);
    bool fitWindowToImage();

    // Geometry and attributes
    bool setPosition(int32_t x, int32_t y);
    bool setSize(int32_t width, int32_t height);
    bool setImageOffset(int32_t x, int32_t y);
    void moveImageOffset(int32_t dx, int32_t dy);
    bool setBlending(int32_t mode, int32_t opacity);
    int32_t opacity() const { return opacity_; }
    int32_t blendMode() const { return blendMode_; }
    void show();
    void hide() { visible_ = false; }

    // Sequence
    bool setFrame(int32_t index);
    bool playSequence(int32_t direction);
    bool playSequenceRange(int32_t direction, int32_t from, int32_t to);

    // Scroller
    bool setupScroller(int32_t direction, int32_t startMode, int32_t endMode, int32_t loopMode,
                       int32_t speed);
    bool scrollerPlay();
    bool scrollerPlayPixels(int32_t pixels);
    bool scrollerPlayEx(int32_t direction, int32_t speed, int32_t pixels);
    bool scrollerStop();
    bool scrollerRewind();
    bool scrollerIsPlaying() const { return scrolling_ && !finished_ && !stopped_; }

    // Fade
    bool fadeTo(int32_t target, int32_t steps);

    // Read access for commands and tests.
    bool visibleFlag() const { return visible_; }
    int32_t posX() const { return posX_; }
    int32_t posY() const { return posY_; }
    int32_t windowWidth() const { return windowWidth_; }
    int32_t windowHeight() const { return windowHeight_; }
    int32_t offsetX() const { return offsetX_; }
    int32_t offsetY() const { return offsetY_; }
    int32_t frameCount() const { return frameCount_; }
    int32_t frameIndex() const { return frameIndex_; }
    bool playing() const { return playing_; }
    bool fading() const { return fading_; }
    int32_t rectCount() const { return rectCount_; }
    const DrawRect& rect(int32_t i) const { return rects_[static_cast<size_t>(i)]; }

private:
    void sequenceStep();
    void scrollerStep();
    // A run from where the image is: counted runs stop after `pixels` pixels.
    void startScrolling(bool counted, int32_t pixels);
    void fadeStep();
    void computeDrawRects();

    int32_t number_;
    BudgetShare share_;
    LayerFrames frames_;
    int32_t current_ = -1;
    std::array<DrawRect, 2> rects_{};
    int32_t rectCount_ = 0;
    bool visible_ = false;
    int32_t blendMode_ = 1;
    int32_t opacity_ = 255;

    // Sequence
    int32_t frameCount_ = 1;
    int32_t frameIndex_ = 0;
    int32_t playDirection_ = 1;
    int32_t endFrame_ = -1;
    bool rangePlay_ = false;
    bool playing_ = false;

    // Geometry
    int32_t posX_ = 0, posY_ = 0;
    int32_t windowWidth_ = 0, windowHeight_ = 0;
    int32_t offsetX_ = 0, offsetY_ = 0;

    // Scroller
    bool scrolling_ = false;
    int32_t direction_ = 0;
    int32_t startMode_ = 0;
    int32_t endMode_ = 0;
    int32_t loopMode_ = 0;
    bool counted_ = false;
    int32_t pixelLimit_ = 0;
    int32_t pixelsMoved_ = 0;
    int32_t speed_ = 0;
    bool stopped_ = false;
    bool finished_ = false;
    int32_t startX_ = 0, startY_ = 0;
    int32_t endX_ = 0, endY_ = 0;

    // Fade
    bool fading_ = false;
    double fadeValue_ = 0.0;
    int32_t fadeTarget_ = 0;
    double fadeStep_ = 0.0;
};

} // namespace kavelin
