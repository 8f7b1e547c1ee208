#pragma once

namespace kavelin {

// What the control dialog does with an output that shows its frames in a window: show and hide
// the window, and switch the shrinking of the picture to the window's size.
class WindowControl {
public:
    virtual ~WindowControl() = default;
    // True while the window is open.
    virtual bool isRunning() const = 0;
    // Opens the window (again); true when it is ready to show frames.
    virtual bool openWindow() = 0;
    // Closes the window; frames are still composed, but not shown.
    virtual void closeWindow() = 0;
    // Takes effect with the next frame shown.
    virtual void setScale(bool scale) = 0;
};

} // namespace kavelin
