#pragma once

#include "engine/Format.h"
#include "engine/FrameClock.h"
#include "engine/OutputSink.h"
#include "outputs/media/MediaPlan.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace kavelin {

class LogSink;
class MediaPipeline;

// A media output (a recording, a stream or a pipeline of the user's, see MediaPlan) run by
// GStreamer. Frames are copied into the pipeline's short queue, which never blocks: a frame
// that pushes out one not yet encoded counts as dropped in its place. The bus is read on the
// output's thread with every frame, without waiting.
//
// A recording or a pipeline that fails while running logs the reason once and fails for
// good. A stream whose receiver goes away or cannot be reached is built anew every
// `retryInterval` (a line in the log for each attempt that fails); meanwhile its frames are
// dropped and it reports Retrying, until an attempt has run for two intervals without trouble.
class MediaOutput : public FrameConsumer {
public:
    static constexpr std::chrono::milliseconds kRetryInterval{3000};
    // How long a recording may take to write its end (index, duration), and a stream.
    static constexpr std::chrono::milliseconds kRecordingFinish{10000};
    static constexpr std::chrono::milliseconds kStreamFinish{2000};
    // How long opening may wait for the pipeline to be ready.
    static constexpr std::chrono::milliseconds kStartLimit{5000};

    MediaOutput(std::string name, MediaPlan plan, const Format& format, LogSink& log,
                std::chrono::milliseconds retryInterval = kRetryInterval);
    ~MediaOutput() override;

    Status open() override;
    bool consume(const Frame& frame, const std::atomic<bool>& stopping) override;
    void finish() override;
    OutputState state() const override { return state_.load(); }

private:
    Result<std::unique_ptr<MediaPipeline>> build() const;
    // Starts a pipeline and keeps it; the reason when it cannot start.
    Status launch(std::unique_ptr<MediaPipeline> pipeline);
    // The pipeline is lost: a stream tries again later, anything else has failed for good.
    void lose(const std::string& reason);

    const std::string name_;
    const MediaPlan plan_;
    const Format format_;
    LogSink& log_;
    const std::chrono::milliseconds retryInterval_;
    std::unique_ptr<MediaPipeline> pipeline_;
    std::atomic<OutputState> state_{OutputState::Running};
    SteadyClock::time_point retryAt_{};    // the next attempt, while there is no pipeline
    SteadyClock::time_point launchedAt_{}; // the current attempt
    int attempts_ = 0;                     // failed attempts since the stream last ran well
};

} // namespace kavelin
