#pragma once

#include "engine/FrameTarget.h"

#include <cstdint>

namespace kavelin {

class Command;
class FrameSource;

// Where frames go: a window, memory, or files. The output owns the frame clock.
class Output : public FrameTarget {
public:
    Output(int32_t width, int32_t height) : width_(width), height_(height) {}

    virtual bool open() = 0;
    // Called only after setFrameSource.
    virtual bool startFrames() = 0;
    virtual void setFrameSource(FrameSource* source) = 0;
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    // Commands numbered 1000 and above.
    virtual bool executeOutputCommand(Command& command) = 0;

private:
    int32_t width_;
    int32_t height_;
};

} // namespace kavelin
