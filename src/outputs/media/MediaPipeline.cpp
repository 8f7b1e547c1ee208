#include "outputs/media/MediaPipeline.h"

#include "engine/FrameClock.h"
#include "engine/ThreadPriority.h"
#include "outputs/media/MediaPlan.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace kavelin {

namespace {

constexpr const char* kSourceName = "kavelin_frames";

// GStreamer's message, and the system's own words where it names them ("No such file or
// directory").
std::string errorReason(GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    std::string reason = error != nullptr ? error->message : "unknown error";
    if (const char* system = debug != nullptr ? std::strstr(debug, "system error: ") : nullptr) {
        const std::string words = system + std::strlen("system error: ");
        reason += " (" + words.substr(0, words.find('\n')) + ")";
    }
    g_clear_error(&error);
    g_free(debug);
    return reason;
}

std::string seconds(std::chrono::milliseconds limit) {
    return std::to_string(limit.count() / 1000) + "." + std::to_string(limit.count() % 1000 / 100);
}

// A change to PAUSED made on a thread of its own, so that the caller can stop waiting for it:
// an element may block in it for good (a filesink opening a FIFO that nobody reads). A change
// given up on is left to that thread, which stops the pipeline if the change ever ends.
struct Pausing {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<GstStateChangeReturn> result;
    bool abandoned = false;
};

// The change's result, or none when it did not end within `limit` (`abandoned` then).
std::optional<GstStateChangeReturn> pauseWithin(GstElement* pipeline,
                                                std::chrono::milliseconds limit, bool& abandoned) {
    auto pausing = std::make_shared<Pausing>();
    gst_object_ref(pipeline);
    try {
        std::thread([pausing, pipeline] {
            const GstStateChangeReturn result = gst_element_set_state(pipeline, GST_STATE_PAUSED);
            bool stop = false;
            {
                std::lock_guard lock(pausing->mutex);
                pausing->result = result;
                stop = pausing->abandoned;
            }
            pausing->ended.notify_all();
            if (stop)
                gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }).detach();
    } catch (const std::system_error&) {
        gst_object_unref(pipeline);
        return GST_STATE_CHANGE_FAILURE;
    }
    std::unique_lock lock(pausing->mutex);
    if (!pausing->ended.wait_for(lock, limit, [&] { return pausing->result.has_value(); })) {
        pausing->abandoned = abandoned = true;
        return std::nullopt;
    }
    return pausing->result;
}

// Streaming threads, and the encoders' own threads that they start, work below the frame path:
// an encoder that cannot keep up loses its own frames instead of delaying the clock and the
// other outputs. A thread that enters a task says so on the bus from within itself.
GstBusSyncReply yieldStreamingThreads(GstBus*, GstMessage* message, gpointer) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_STREAM_STATUS) {
        GstStreamStatusType type;
        GstElement* owner = nullptr;
        gst_message_parse_stream_status(message, &type, &owner);
        if (type == GST_STREAM_STATUS_TYPE_ENTER)
            yieldToFramePath();
    }
    return GST_BUS_PASS;
}

GstClockTime timeOf(uint64_t frame, const FrameRate& rate) {
    return gst_util_uint64_scale(frame, GST_SECOND * uint64_t(rate.denominator),
                                 uint64_t(rate.numerator));
}

} // namespace

Result<std::unique_ptr<MediaPipeline>>
MediaPipeline::build(const std::string& description, const Format& format, unsigned queuedFrames) {
    const std::string text = std::string("appsrc name=") + kSourceName + " ! " + description;
    GError* error = nullptr;
    GstElement* pipeline =
        gst_parse_launch_full(text.c_str(), nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (error != nullptr || pipeline == nullptr) {
        std::string reason = error != nullptr ? error->message : "the pipeline does not parse";
        g_clear_error(&error);
        if (pipeline != nullptr)
            gst_object_unref(pipeline);
        return failure(reason);
    }
    GstElement* source =
        GST_IS_BIN(pipeline) ? gst_bin_get_by_name(GST_BIN(pipeline), kSourceName) : nullptr;
    if (source == nullptr) {
        gst_object_unref(pipeline);
        return failure("the pipeline has no place for the frames");
    }
    GstCaps* caps = gst_caps_from_string(frameCaps(format).c_str());
    // Live, timed by the frame numbers, never blocking: a full queue drops its oldest frame.
    g_object_set(source, "caps", caps, "format", GST_FORMAT_TIME, "is-live", TRUE, "do-timestamp",
                 FALSE, "block", FALSE, "max-bytes", guint64{0}, "max-buffers",
                 guint64{queuedFrames}, "leaky-type", GST_APP_LEAKY_TYPE_DOWNSTREAM, "min-latency",
                 gint64(timeOf(1, format.rate)), nullptr);
    gst_caps_unref(caps);
    return std::unique_ptr<MediaPipeline>(
        new MediaPipeline(pipeline, source, format, queuedFrames));
}

MediaPipeline::MediaPipeline(GstElement* pipeline, GstElement* source, const Format& format,
                             unsigned queuedFrames)
    : pipeline_(pipeline), source_(source), bus_(gst_element_get_bus(pipeline)), format_(format),
      queuedFrames_(queuedFrames) {
    gst_bus_set_sync_handler(bus_, yieldStreamingThreads, nullptr, nullptr);
}

MediaPipeline::~MediaPipeline() {
    // A pipeline still stuck in its start is stopped by the thread that started it.
    if (!abandoned_)
        gst_element_set_state(pipeline_, GST_STATE_NULL);
    if (pool_ != nullptr) {
        gst_buffer_pool_set_active(pool_, FALSE);
        gst_object_unref(pool_);
    }
    gst_object_unref(bus_);
    gst_object_unref(source_);
    gst_object_unref(pipeline_);
}

Status MediaPipeline::start(std::chrono::milliseconds limit) {
    // Paused, a live pipeline has opened its files and sockets but waits for the first frame:
    // the clock starts with it, so the first frame is on time wherever sinks follow the clock.
    const SteadyClock::time_point deadline = SteadyClock::now() + limit;
    const std::optional<GstStateChangeReturn> paused = pauseWithin(pipeline_, limit, abandoned_);
    if (!paused)
        return failure("the pipeline did not start within " + seconds(limit) + " s");
    GstStateChangeReturn change = *paused;
    if (change == GST_STATE_CHANGE_ASYNC) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(deadline - SteadyClock::now(), SteadyClock::duration::zero()));
        change = gst_element_get_state(pipeline_, nullptr, nullptr,
                                       GST_MSECOND * GstClockTime(left.count()));
    }
    if (change == GST_STATE_CHANGE_FAILURE) {
        std::optional<std::string> reason = trouble();
        return failure(reason.value_or("the pipeline cannot start"));
    }
    if (change == GST_STATE_CHANGE_ASYNC)
        return failure("the pipeline did not start within " + seconds(limit) + " s");
    if (std::optional<std::string> reason = trouble())
        return failure(*reason);

    GstPad* pad = gst_element_get_static_pad(source_, "src");
    GstCaps* caps = gst_caps_from_string(frameCaps(format_).c_str());
    const bool taken = gst_pad_peer_query_accept_caps(pad, caps);
    gst_object_unref(pad);
    if (!taken) {
        gst_caps_unref(caps);
        return failure("the pipeline does not take the frames (" + frameCaps(format_) + ")");
    }
    // Frame memory is reused once the pipeline lets go of it.
    pool_ = gst_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(pool_);
    gst_buffer_pool_config_set_params(config, caps,
                                      guint(format_.width) * guint(format_.height) * 4, 0, 0);
    gst_caps_unref(caps);
    if (!gst_buffer_pool_set_config(pool_, config) || !gst_buffer_pool_set_active(pool_, TRUE))
        return failure("no memory for the frames");
    return done();
}

void MediaPipeline::play() {
    playing_ = true;
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
}

bool MediaPipeline::push(const Frame& frame) {
    if (pool_ == nullptr || frame.width() != format_.width || frame.height() != format_.height)
        return false;
    GstBuffer* buffer = nullptr;
    if (gst_buffer_pool_acquire_buffer(pool_, &buffer, nullptr) != GST_FLOW_OK)
        return false;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return false;
    }
    const FrameBuffer& pixels = *frame.pixels;
    const size_t row = size_t(pixels.width()) * 4;
    for (int32_t y = 0; y < pixels.height(); ++y)
        std::memcpy(map.data + size_t(y) * row,
                    pixels.pixels() + ptrdiff_t(y) * ptrdiff_t(pixels.pitch()), row);
    gst_buffer_unmap(buffer, &map);

    if (first_ < 0)
        first_ = frame.number;
    const uint64_t index = uint64_t(std::max<int64_t>(0, frame.number - first_));
    GST_BUFFER_PTS(buffer) = timeOf(index, format_.rate);
    GST_BUFFER_DURATION(buffer) = timeOf(index + 1, format_.rate) - GST_BUFFER_PTS(buffer);
    GST_BUFFER_OFFSET(buffer) = index;
    if (format_.interlaced)
        GST_BUFFER_FLAG_SET(buffer, GST_VIDEO_BUFFER_FLAG_INTERLACED | GST_VIDEO_BUFFER_FLAG_TFF);

    if (!playing_)
        play();
    const bool full = gst_app_src_get_current_level_buffers(GST_APP_SRC(source_)) >= queuedFrames_;
    const GstFlowReturn flow = gst_app_src_push_buffer(GST_APP_SRC(source_), buffer);
    return flow == GST_FLOW_OK && !full;
}

std::optional<std::string> MediaPipeline::trouble() {
    const auto kinds = GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_LATENCY);
    // Messages of other kinds are discarded on the way, so the bus never grows.
    while (GstMessage* message = gst_bus_pop_filtered(bus_, kinds)) {
        std::optional<std::string> reason;
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
            reason = errorReason(message);
        else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS)
            reason = "the pipeline ended";
        else
            gst_bin_recalculate_latency(GST_BIN(pipeline_));
        gst_message_unref(message);
        if (reason)
            return reason;
    }
    return std::nullopt;
}

Status MediaPipeline::finish(std::chrono::milliseconds limit) {
    // A live pipeline passes nothing on, not even the end, until it plays.
    if (!playing_)
        play();
    gst_app_src_end_of_stream(GST_APP_SRC(source_));
    const auto kinds = GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
    GstMessage* message =
        gst_bus_timed_pop_filtered(bus_, GST_MSECOND * GstClockTime(limit.count()), kinds);
    Status finished = done();
    if (message == nullptr)
        finished = failure("the pipeline did not finish within " + seconds(limit) + " s");
    else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        finished = failure(errorReason(message));
    if (message != nullptr)
        gst_message_unref(message);
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    return finished;
}

} // namespace kavelin
