#pragma once

namespace kavelin {

class FrameRequest;

// Composes a frame when the frame clock ticks; never called twice at the same time.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual void onFrame(FrameRequest& request) = 0;
};

} // namespace kavelin
