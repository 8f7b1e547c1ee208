#pragma once

#include "base/Result.h"
#include "engine/Frame.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kavelin {

// How an output is doing, as the log and the control dialog show it.
enum class OutputState { Running, Retrying, Failed };
const char* outputStateName(OutputState state);

// What an output is, as the engine and its users see it.
struct OutputStatus {
    int32_t number = 0;
    std::string name;
    OutputState state = OutputState::Running;
    uint64_t delivered = 0;
    uint64_t dropped = 0;
};

// What an output does with the frames it is given, on the output's own thread.
class FrameConsumer {
public:
    virtual ~FrameConsumer() = default;
    // Before the thread starts: opens what the output writes to. A failure keeps the output
    // from starting.
    virtual Status open() { return done(); }
    // For every frame the output takes; false when the frame could not go out (no reader, no
    // window), which counts it as dropped. `stopping` turns true when the output is being
    // stopped: a consumer that waits (for a reader, a receiver) gives up then.
    virtual bool consume(const Frame& frame, const std::atomic<bool>& stopping) = 0;
    // After the last frame, on the same thread: files are finalised here.
    virtual void finish() {}
    // Read from any thread.
    virtual OutputState state() const { return OutputState::Running; }
};

// An output of the engine: its own thread, fed through a short queue. The frame path hands
// frames over without ever waiting for the output; an output that cannot keep up loses its
// oldest queued frames and counts them. The consumer lives exactly as long as the output, and
// its thread has ended before it is destroyed.
class OutputSink {
public:
    static constexpr size_t kDefaultDepth = 2;

    OutputSink(std::string name, std::unique_ptr<FrameConsumer> consumer,
               size_t depth = kDefaultDepth);
    ~OutputSink();
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    // Opens the consumer and starts the thread.
    Status start();
    // Takes in frames no more, lets the consumer finish and waits for the thread.
    void stop();

    // The frame path: never waits for the output.
    void offer(std::shared_ptr<const Frame> frame);

    const std::string& name() const { return name_; }
    FrameConsumer& consumer() const { return *consumer_; }
    // Frames that went out, and frames lost to a full queue or refused by the consumer.
    uint64_t delivered() const { return delivered_.load(); }
    uint64_t dropped() const { return dropped_.load(); }

private:
    void run();

    const std::string name_;
    const std::unique_ptr<FrameConsumer> consumer_;
    const size_t depth_;
    std::mutex mutex_; // guards queue_ and running_
    std::condition_variable wake_;
    std::deque<std::shared_ptr<const Frame>> queue_;
    bool running_ = false;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> dropped_{0};
    std::thread thread_;
};

} // namespace kavelin
