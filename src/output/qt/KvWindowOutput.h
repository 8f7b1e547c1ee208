#pragma once

#include "engine/Output.h"
#include "engine/Renderer.h"
#include "output/ClockedOutput.h"
#include "output/WindowControl.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace kavelin {

class FrameExchange;
class OutputWindow;

// The output that shows the frames in a window titled "Kavelin Window Output".
//
// The frame clock runs on its own thread and composes each frame into a back buffer lent by
// beginFrame; endFrame hands the finished frame to the GUI thread, which paints it. The window
// is created, shown and deleted on the GUI thread only; open, close and the destructor may be
// called from any thread and wait for the GUI thread to do their part. Lock order: the render
// lock (taken by the frame source) before the output lock; nothing here waits for the GUI
// thread while holding the output lock.
class KvWindowOutput : public ClockedOutput, public WindowControl {
public:
    KvWindowOutput(int32_t width, int32_t height, int32_t framesPerSecond,
                   Renderer::Colour background, bool scale);
    // Stops the frame clock before the window goes.
    ~KvWindowOutput() override;

    // Opens the window with black back buffers; true when it is ready to show frames (also
    // when it was open already).
    bool open() override;
    FrameBuffer* beginFrame() override;
    bool endFrame(FrameBuffer* frame) override;
    bool executeOutputCommand(Command& command) override;

    bool isRunning() const override { return running_.load(); }
    void close() override;
    void setScale(bool scale) override { scale_ = scale; }
    bool scale() const { return scale_.load(); }

    // The window while it is open, for the GUI thread; none otherwise.
    OutputWindow* window() const;

private:
    bool openOnGuiThread();
    void closeOnGuiThread();

    Renderer::Colour background_;
    std::atomic<bool> scale_;
    std::atomic<bool> running_{false};

    mutable std::mutex lock_; // the output lock: held from beginFrame to endFrame
    OutputWindow* window_ = nullptr;
    std::shared_ptr<FrameExchange> frames_;
};

} // namespace kavelin
