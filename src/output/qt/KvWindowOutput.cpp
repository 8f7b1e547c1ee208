#include "output/qt/KvWindowOutput.h"

#include "net/Command.h"
#include "output/FrameExchange.h"
#include "output/qt/GuiThread.h"
#include "output/qt/OutputWindow.h"

#include <cstdio>

namespace kavelin {

KvWindowOutput::KvWindowOutput(int32_t width, int32_t height, int32_t framesPerSecond,
                               Renderer::Colour background, bool scale)
    : ClockedOutput(width, height, framesPerSecond), background_(background), scale_(scale) {}

KvWindowOutput::~KvWindowOutput() {
    stopFrames(); // no tick paints into a window that is about to go
    runOnGuiThread([this] { closeOnGuiThread(); });
}

bool KvWindowOutput::open() {
    std::printf("Window output initializing...\n");
    std::fflush(stdout);
    bool opened = false;
    runOnGuiThread([this, &opened] { opened = openOnGuiThread(); });
    return opened;
}

bool KvWindowOutput::openOnGuiThread() {
    if (window() != nullptr)
        return true;
    std::shared_ptr<FrameExchange> frames = FrameExchange::create(width(), height());
    if (!frames)
        return false;
    auto* window = new OutputWindow(frames, scale_,
                                    QColor(background_.red, background_.green, background_.blue),
                                    width(), height(), [this] { close(); });
    {
        std::lock_guard<std::mutex> lock(lock_);
        window_ = window;
        frames_ = std::move(frames);
    }
    running_ = true;
    window->move(0, 0);
    window->show();
    return true;
}

void KvWindowOutput::close() {
    runOnGuiThread([this] { closeOnGuiThread(); });
}

void KvWindowOutput::closeOnGuiThread() {
    OutputWindow* window = nullptr;
    {
        // Waits for a frame in progress; the next one finds no back buffer.
        std::lock_guard<std::mutex> lock(lock_);
        window = window_;
        window_ = nullptr;
        frames_.reset();
    }
    running_ = false;
    delete window;
}

OutputWindow* KvWindowOutput::window() const {
    std::lock_guard<std::mutex> lock(lock_);
    return window_;
}

FrameBuffer* KvWindowOutput::beginFrame() {
    lock_.lock();
    return frames_ ? frames_->drawing() : nullptr;
}

bool KvWindowOutput::endFrame(FrameBuffer* frame) {
    if (frame != nullptr && frames_ && frame == frames_->drawing()) {
        frames_->publish();
        window_->scheduleRepaint();
    }
    lock_.unlock();
    return true;
}

bool KvWindowOutput::executeOutputCommand(Command& command) {
    std::printf("(KvWindowOutput) Unsupported command (%d)\n", command.number());
    std::fflush(stdout);
    return false;
}

} // namespace kavelin
