#include "outputs/window/KvWindowOutput.h"

#include "engine/LogSink.h"
#include "outputs/window/FrameExchange.h"
#include "outputs/window/GuiThread.h"
#include "outputs/window/OutputWindow.h"

namespace kavelin {

KvWindowOutput::KvWindowOutput(int32_t width, int32_t height, PixelColour background, bool scale,
                               LogSink& log)
    : width_(width), height_(height), background_(background), log_(log), scale_(scale) {}

KvWindowOutput::~KvWindowOutput() {
    runOnGuiThread([this] { closeOnGuiThread(); });
}

Status KvWindowOutput::open() {
    log_.diagnostic("Window output initializing...\n");
    if (!openWindow())
        return failure("the output window cannot be opened");
    return done();
}

bool KvWindowOutput::openWindow() {
    bool opened = false;
    runOnGuiThread([this, &opened] { opened = openOnGuiThread(); });
    return opened;
}

bool KvWindowOutput::openOnGuiThread() {
    if (window() != nullptr)
        return true;
    std::shared_ptr<FrameExchange> frames = FrameExchange::create(width_, height_);
    if (!frames)
        return false;
    auto window = std::make_unique<OutputWindow>(
        frames, scale_, QColor(background_.red, background_.green, background_.blue), width_,
        height_, [this] { closeWindow(); });
    OutputWindow* shown = window.get();
    {
        std::lock_guard lock(lock_);
        window_ = std::move(window);
        frames_ = std::move(frames);
    }
    running_ = true;
    shown->move(0, 0);
    shown->show();
    return true;
}

void KvWindowOutput::closeWindow() {
    runOnGuiThread([this] { closeOnGuiThread(); });
}

void KvWindowOutput::closeOnGuiThread() {
    std::unique_ptr<OutputWindow> window;
    {
        // Waits for a frame being handed over; the next one finds no window.
        std::lock_guard lock(lock_);
        window = std::move(window_);
        frames_.reset();
    }
    running_ = false;
    window.reset();
}

OutputWindow* KvWindowOutput::window() const {
    std::lock_guard lock(lock_);
    return window_.get();
}

bool KvWindowOutput::consume(const Frame& frame, const std::atomic<bool>&) {
    std::lock_guard lock(lock_);
    if (!frames_)
        return false;
    frames_->publish(*frame.pixels);
    window_->scheduleRepaint();
    return true;
}

} // namespace kavelin
