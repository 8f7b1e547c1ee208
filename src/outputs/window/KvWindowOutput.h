#pragma once

#include "engine/OutputSink.h"
#include "image/Image.h"
#include "outputs/window/WindowControl.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace kavelin {

class FrameExchange;
class LogSink;
class OutputWindow;

// The output that shows the frames in a window titled "Kavelin Window Output".
//
// Frames arrive on the output's thread, are copied into the window's frame exchange and painted
// by the GUI thread. The window is created, shown and deleted on the GUI thread only;
// openWindow, closeWindow and the destructor may be called from any thread and wait for the
// GUI thread to do their part. While the window is closed, frames are refused.
class KvWindowOutput : public FrameConsumer, public WindowControl {
public:
    KvWindowOutput(int32_t width, int32_t height, PixelColour background, bool scale, LogSink& log);
    ~KvWindowOutput() override;

    // FrameConsumer: the window opens when the output starts.
    Status open() override;
    bool consume(const Frame& frame, const std::atomic<bool>& stopping) override;

    // WindowControl
    bool isRunning() const override { return running_.load(); }
    bool openWindow() override;
    void closeWindow() override;
    void setScale(bool scale) override { scale_ = scale; }
    bool scale() const { return scale_.load(); }

    // The window while it is open, for the GUI thread; none otherwise.
    OutputWindow* window() const;

private:
    bool openOnGuiThread();
    void closeOnGuiThread();

    const int32_t width_;
    const int32_t height_;
    const PixelColour background_;
    LogSink& log_;
    std::atomic<bool> scale_;
    std::atomic<bool> running_{false};

    mutable std::mutex lock_;              // guards window_ and frames_ against the output's thread
    std::unique_ptr<OutputWindow> window_; // created and destroyed on the GUI thread
    std::shared_ptr<FrameExchange> frames_;
};

} // namespace kavelin
