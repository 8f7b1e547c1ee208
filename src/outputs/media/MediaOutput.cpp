#include "outputs/media/MediaOutput.h"

#include "engine/LogSink.h"
#include "outputs/media/GStreamerStart.h"
#include "outputs/media/MediaPipeline.h"

#include <cstdio>

namespace kavelin {

namespace {

std::string secondsText(std::chrono::milliseconds interval) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", double(interval.count()) / 1000.0);
    return text;
}

} // namespace

MediaOutput::MediaOutput(std::string name, MediaPlan plan, const Format& format, LogSink& log,
                         std::chrono::milliseconds retryInterval)
    : name_(std::move(name)), plan_(std::move(plan)), format_(format), log_(log),
      retryInterval_(retryInterval) {}

MediaOutput::~MediaOutput() = default;

Status MediaOutput::open() {
    if (Status started = startGStreamer(); !started)
        return started;
    // A description that cannot be built never will be; a receiver that cannot be reached yet
    // is tried again like one that went away.
    Result<std::unique_ptr<MediaPipeline>> built = build();
    if (!built)
        return built.error();
    if (Status started = launch(std::move(*built)); !started) {
        if (plan_.kind != MediaKind::Stream)
            return started;
        lose(started.reason());
    }
    return done();
}

Result<std::unique_ptr<MediaPipeline>> MediaOutput::build() const {
    return MediaPipeline::build(plan_.pipeline, format_, plan_.queuedFrames);
}

Status MediaOutput::launch(std::unique_ptr<MediaPipeline> pipeline) {
    if (Status started = pipeline->start(kStartLimit); !started)
        return started;
    pipeline_ = std::move(pipeline);
    launchedAt_ = SteadyClock::now();
    return done();
}

void MediaOutput::lose(const std::string& reason) {
    pipeline_.reset();
    if (plan_.kind != MediaKind::Stream) {
        state_ = OutputState::Failed;
        log_.log("ERROR (%s) : %s", name_.c_str(), reason.c_str());
        return;
    }
    retryAt_ = SteadyClock::now() + retryInterval_;
    if (state_ == OutputState::Running) {
        state_ = OutputState::Retrying;
        log_.log("ERROR (%s) : %s; trying again every %s", name_.c_str(), reason.c_str(),
                 secondsText(retryInterval_).c_str());
    } else {
        log_.log("ERROR (%s) : retry %d: %s", name_.c_str(), attempts_, reason.c_str());
    }
}

bool MediaOutput::consume(const Frame& frame, const std::atomic<bool>& /*stopping*/) {
    if (pipeline_)
        if (std::optional<std::string> reason = pipeline_->trouble())
            lose(*reason);
    const SteadyClock::time_point now = SteadyClock::now();
    if (!pipeline_) {
        if (state_ != OutputState::Retrying || now < retryAt_)
            return false;
        ++attempts_;
        Result<std::unique_ptr<MediaPipeline>> built = build();
        Status launched = built ? launch(std::move(*built)) : Status(built.error());
        if (!launched) {
            lose(launched.reason());
            return false;
        }
    }
    const bool pushed = pipeline_->push(frame);
    if (state_ == OutputState::Retrying && now - launchedAt_ >= 2 * retryInterval_) {
        state_ = OutputState::Running;
        log_.log("Output %s running again after %d %s.", name_.c_str(), attempts_,
                 attempts_ == 1 ? "retry" : "retries");
        attempts_ = 0;
    }
    // Frames of an attempt that has not proved itself yet count as lost.
    return pushed && state_ == OutputState::Running;
}

void MediaOutput::finish() {
    if (!pipeline_)
        return;
    const bool stream = plan_.kind == MediaKind::Stream;
    // An attempt that has not reached its receiver has nothing to end.
    if (stream && state_ != OutputState::Running) {
        pipeline_.reset();
        return;
    }
    std::optional<std::string> reason = pipeline_->trouble();
    if (!reason)
        if (Status finished = pipeline_->finish(stream ? kStreamFinish : kRecordingFinish);
            !finished)
            reason = finished.reason();
    pipeline_.reset();
    // A stream's receiver may be gone already; only a recording's end matters.
    if (reason && !stream) {
        state_ = OutputState::Failed;
        log_.log("ERROR (%s) : %s", name_.c_str(), reason->c_str());
    }
}

} // namespace kavelin
