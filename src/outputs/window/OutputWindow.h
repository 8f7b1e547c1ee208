#pragma once

#include "outputs/window/BaseWindow.h"

#include <atomic>
#include <functional>
#include <memory>

namespace kavelin {

class FrameExchange;

// The window that shows the frames: the newest finished frame, placed by the presentation rule
// (unscaled and centred, or shrunk to fit), the rest of the client area in the background
// colour. Lives on the GUI thread; only scheduleRepaint may be called from other threads.
class OutputWindow : public BaseWindow {
public:
    OutputWindow(std::shared_ptr<FrameExchange> frames, const std::atomic<bool>& scale,
                 QColor background, int clientWidth, int clientHeight,
                 std::function<void()> onCloseButton);

    // Any thread: asks for one repaint with the newest frame; requests that come faster than
    // the GUI thread paints are merged into one.
    void scheduleRepaint();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::shared_ptr<FrameExchange> frames_;
    const std::atomic<bool>& scale_;
    std::function<void()> onCloseButton_;
    std::atomic<bool> repaintPending_{false};
};

} // namespace kavelin
