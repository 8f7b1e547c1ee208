#pragma once

#include "engine/OutputSink.h"

#include <string>

namespace kavelin {

class LogSink;

// `raw:PATH`: every frame as width x height x 4 bytes (blue, green, red, alpha), top row first.
// A regular file is replaced and written frame after frame. A FIFO is waited for without
// holding anything up: frames that no reader takes are dropped, whole frames only, and a reader
// that comes (back) starts at the beginning of a frame.
class RawOutput : public FrameConsumer {
public:
    RawOutput(std::string path, LogSink& log);
    ~RawOutput() override;

    Status open() override;
    bool consume(const Frame& frame, const std::atomic<bool>& stopping) override;
    void finish() override;

private:
    // Writes the whole frame; false when the stream broke or the output is stopping.
    bool writeFrame(const Frame& frame, const std::atomic<bool>& stopping);
    bool openFifoWriter();
    void closeStream();

    const std::string path_;
    LogSink& log_;
    bool fifo_ = false;
    int fd_ = -1;
    bool failed_ = false; // a regular file that could not be written: said once
};

} // namespace kavelin
