// The three per-frame animations of a layer: image sequence, scroller and fade.
#include "layers/Layer.h"

#include "image/SaturatingMath.h"

namespace kavelin {

bool Layer::setFrame(int32_t index) {
    if (image() == nullptr || index < 0 || index >= frameCount_)
        return false;
    frameIndex_ = index;
    current_ = index;
    return true;
}

bool Layer::playSequence(int32_t direction) {
    if (image() == nullptr)
        return false;
    rangePlay_ = false;
    playDirection_ = direction;
    playing_ = true;
    return true;
}

bool Layer::playSequenceRange(int32_t direction, int32_t from, int32_t to) {
    if (image() == nullptr || from < 0 || from >= frameCount_ || to < 0 || to >= frameCount_)
        return false;
    endFrame_ = to;
    frameIndex_ = from;
    playDirection_ = direction;
    rangePlay_ = true;
    playing_ = true;
    return true;
}

void Layer::sequenceStep() {
    if (!playing_ || frameCount_ < 1)
        return;
    if (playDirection_ >= 0) {
        if (++frameIndex_ >= frameCount_)
            frameIndex_ = 0;
    } else {
        if (--frameIndex_ < 0)
            frameIndex_ = frameCount_ - 1;
    }
    if (rangePlay_ && frameIndex_ == endFrame_) {
        playing_ = false;
        rangePlay_ = false;
        endFrame_ = -1;
    }
    if (static_cast<size_t>(frameIndex_) < frames_.size())
        current_ = frameIndex_;
}

bool Layer::setupScroller(int32_t direction, int32_t startMode, int32_t endMode, int32_t loopMode,
                          int32_t speed) {
    if (image() == nullptr || speed < 0)
        return false;
    direction_ = direction;
    startMode_ = startMode;
    endMode_ = endMode;
    loopMode_ = loopMode;
    speed_ = speed;
    const int32_t W = windowWidth_, H = windowHeight_;
    const int32_t w = image()->width(), h = image()->height();
    // For each direction: the moving axis gets its start and end, the other axis 0.
    auto axis = [&](int32_t& start, int32_t& end, int32_t& otherStart, int32_t& otherEnd,
                    int32_t inside, int32_t outside, int32_t endInside, int32_t endOutside) {
        otherStart = 0;
        otherEnd = 0;
        if (startMode == 0)
            start = inside;
        else if (startMode == 1)
            start = outside;
        if (endMode == 0)
            end = endInside;
        else if (endMode == 1)
            end = endOutside;
    };
    switch (direction) {
    case 0:
        axis(startX_, endX_, startY_, endY_, 0, W, satSub(W, w), -w);
        break;
    case 1:
        axis(startX_, endX_, startY_, endY_, satSub(W, w), -w, 0, W);
        break;
    case 2:
        axis(startY_, endY_, startX_, endX_, 0, H, satSub(H, h), -h);
        break;
    case 3:
        axis(startY_, endY_, startX_, endX_, satSub(H, h), -h, 0, H);
        break;
    default:
        break;
    }
    return true;
}

void Layer::startScrolling(bool counted, int32_t pixels) {
    counted_ = counted;
    if (counted) {
        pixelLimit_ = pixels;
        pixelsMoved_ = 0;
    }
    finished_ = false;
    stopped_ = false;
    scrolling_ = true;
}

bool Layer::scrollerPlay() {
    if (image() == nullptr)
        return false;
    offsetX_ = startX_;
    offsetY_ = startY_;
    startScrolling(false, 0);
    return true;
}

bool Layer::scrollerPlayPixels(int32_t pixels) {
    if (image() == nullptr)
        return false;
    startScrolling(true, pixels);
    return true;
}

bool Layer::scrollerPlayEx(int32_t direction, int32_t speed, int32_t pixels) {
    if (image() == nullptr)
        return false;
    direction_ = direction;
    speed_ = speed;
    loopMode_ = 2;
    startScrolling(true, pixels);
    return true;
}

bool Layer::scrollerStop() {
    stopped_ = true;
    return true;
}

bool Layer::scrollerRewind() {
    offsetX_ = startX_;
    offsetY_ = startY_;
    return true;
}

void Layer::scrollerStep() {
    if (!scrolling_ || stopped_)
        return;
    if (counted_)
        pixelsMoved_ = satAdd(pixelsMoved_, speed_);
    const int32_t W = windowWidth_, H = windowHeight_;
    const int32_t w = image()->width(), h = image()->height();
    // Moving towards smaller offsets (left, up) or larger ones (right, down) on one axis.
    auto decrease = [&](int32_t& offset, int32_t size, int32_t window, int32_t end) {
        offset = satSub(offset, speed_);
        if (loopMode_ == 0 && offset <= -size)
            offset = saturate(int64_t{offset} + size + window);
        else if (loopMode_ == 1 && offset <= -size)
            offset = satAdd(offset, size);
        else if (loopMode_ == 2 && !counted_ && offset <= end) {
            offset = end;
            finished_ = true;
        }
        if (counted_ && pixelsMoved_ >= pixelLimit_) {
            offset = satAdd(offset, int64_t{pixelsMoved_} - pixelLimit_);
            finished_ = true;
        }
    };
    auto increase = [&](int32_t& offset, int32_t size, int32_t window, int32_t end) {
        offset = satAdd(offset, speed_);
        if (loopMode_ == 0 && offset >= window)
            offset = saturate(int64_t{offset} - size - window);
        else if (loopMode_ == 1 && offset >= window)
            offset = satSub(offset, size);
        else if (loopMode_ == 2 && !counted_ && offset >= end) {
            offset = end;
            finished_ = true;
        }
        if (counted_ && pixelsMoved_ >= pixelLimit_) {
            offset = satSub(offset, int64_t{pixelsMoved_} - pixelLimit_);
            finished_ = true;
        }
    };
    switch (direction_) {
    case 0:
        decrease(offsetX_, w, W, endX_);
        break;
    case 1:
        increase(offsetX_, w, W, endX_);
        break;
    case 2:
        decrease(offsetY_, h, H, endY_);
        break;
    case 3:
        increase(offsetY_, h, H, endY_);
        break;
    default:
        break;
    }
    if (finished_)
        stopped_ = true;
}

bool Layer::fadeTo(int32_t target, int32_t steps) {
    if (image() == nullptr)
        return false;
    if (steps == 0) {
        opacity_ = target;
        return true;
    }
    fadeTarget_ = target;
    fading_ = true;
    fadeStep_ = static_cast<double>(int64_t{target} - opacity_) / steps;
    fadeValue_ = opacity_ + fadeStep_;
    opacity_ = truncateToInt32(fadeValue_);
    return true;
}

void Layer::fadeStep() {
    if (!fading_)
        return;
    fadeValue_ += fadeStep_;
    if ((fadeStep_ >= 0 && fadeValue_ >= fadeTarget_) ||
        (fadeStep_ < 0 && fadeValue_ <= fadeTarget_)) {
        fading_ = false;
        opacity_ = fadeTarget_;
        return;
    }
    opacity_ = truncateToInt32(fadeValue_);
}

} // namespace kavelin
