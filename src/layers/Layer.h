#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace kavelin {

class FrameBuffer;
class Image;

// The part of the current image drawn in one frame, relative to the window's top-left corner.
struct DrawRect {
    int32_t srcX = 0, srcY = 0;
    int32_t dstX = 0, dstY = 0;
    int32_t width = 0, height = 0;
};

// One compositing plane: up to 1000 frame images, one of them shown through a window placed in
// the picture, with blending, opacity and three animations (sequence, scroller, fade).
class Layer {
public:
    static constexpr int32_t kMaxFrames = 1000;

    Layer();
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    int32_t number() const { return number_; }
    void setNumber(int32_t number) { number_ = number; }
    Image* image() const { return image_; }

    // Back to the empty, hidden state; number, rects, scroller settings and fade progress stay.
    void reset();
    bool clearImage();

    // The frame step: animations, then the draw rectangles. Only for visible layers with an image.
    void update();
    bool isVisible();
    void draw(FrameBuffer* target, int32_t originX, int32_t originY, bool interlaced,
              int32_t field) const;

    // Content
    bool initSize(int32_t width, int32_t height);
    bool initTga(const char* fileName);
    bool beginSequence();
    Image* addFrame(int32_t width, int32_t height);
    bool fitWindowToImage();
    bool copyFrom(const Layer& source);
    bool copyRegionFrom(const Layer& source, int32_t x, int32_t y, int32_t w, int32_t h);

    // Geometry and attributes
    bool setPosition(int32_t x, int32_t y);
    bool setSize(int32_t width, int32_t height);
    bool setImageOffset(int32_t x, int32_t y);
    bool cropToWindow();
    bool cropImage(int32_t x, int32_t y, int32_t w, int32_t h);
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

    // Read access for queries and tests.
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
    Image* frame(int32_t i) const { return frames_[static_cast<size_t>(i)].get(); }

private:
    void sequenceStep();
    void scrollerStep();
    // A run from where the image is: counted runs stop after `pixels` pixels.
    void startScrolling(bool counted, int32_t pixels);
    void fadeStep();
    void computeDrawRects();

    int32_t number_ = 0;
    Image* image_ = nullptr;
    std::array<std::unique_ptr<Image>, kMaxFrames> frames_;
    std::array<DrawRect, 10> rects_{};
    int32_t rectCount_ = 0;
    bool visible_ = false;
    int32_t blendMode_ = 0;
    int32_t opacity_ = 0;

    // Sequence
    int32_t frameCount_ = 0;
    int32_t frameIndex_ = 0;
    int32_t playDirection_ = 0;
    int32_t endFrame_ = 0;
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
