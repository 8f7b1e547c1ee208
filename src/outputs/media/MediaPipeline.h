#pragma once

#include "base/Result.h"
#include "engine/Format.h"
#include "engine/Frame.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

struct _GstElement;
struct _GstBus;
struct _GstBufferPool;

namespace kavelin {

// One GStreamer pipeline fed with frames: an appsrc in front of a description. Nothing here
// waits longer than the limit it is given; the bus is read without waiting, on the caller's
// thread.
class MediaPipeline {
public:
    ~MediaPipeline();
    MediaPipeline(const MediaPipeline&) = delete;
    MediaPipeline& operator=(const MediaPipeline&) = delete;

    // "appsrc ! DESCRIPTION" for frames of `format`, the appsrc holding at most `queuedFrames`
    // (a frame pushed into a full queue pushes out the oldest, so that pushing never waits);
    // the reason when the description does not parse or names an element that is not
    // installed.
    static Result<std::unique_ptr<MediaPipeline>>
    build(const std::string& description, const Format& format, unsigned queuedFrames);
    // Readies the pipeline (files opened, sockets bound) within `limit`, and checks that it
    // takes the frames; GStreamer's reason when it cannot. It plays from the first frame on.
    // Should an element hold up its start beyond the limit, the pipeline is left to a thread
    // that stops it once the element lets go.
    Status start(std::chrono::milliseconds limit);
    // Copies the frame in, timed by its number from the first frame pushed; false when it
    // pushed out an older frame that had not gone on yet, which counts as one lost.
    bool push(const Frame& frame);
    // The error or end the pipeline reported since the last call, in words; none while all is
    // well.
    std::optional<std::string> trouble();
    // Ends the stream and waits at most `limit` for the end to pass through every element
    // (files get their index and duration), then stops the pipeline.
    Status finish(std::chrono::milliseconds limit);

private:
    MediaPipeline(_GstElement* pipeline, _GstElement* source, const Format& format,
                  unsigned queuedFrames);
    void play();

    _GstElement* pipeline_;
    _GstElement* source_;
    _GstBus* bus_;
    _GstBufferPool* pool_ = nullptr;
    const Format format_;
    const unsigned queuedFrames_;
    int64_t first_ = -1; // the number of the first frame pushed
    bool playing_ = false;
    bool abandoned_ = false; // its start did not end in time
};

} // namespace kavelin
