#pragma once

#include "engine/LogSink.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace kavelin {

// Where the log's lines end up (standard output, the dialog's list). Written on the log's
// thread only, one line at a time, in the order the lines were posted.
class LogWriter {
public:
    virtual ~LogWriter() = default;
    // Lines in the order they were posted; as many as had gathered since the last call.
    virtual void write(std::span<const LogLine> lines) = 0;
    // From another thread, when the log closes: a writer that waits (for a full pipe) gives up.
    virtual void interrupt() {}
};

// The one way log lines travel: posting puts a line in a queue and returns; a thread of its own
// hands the lines to the writers. A writer that blocks (a full pipe on standard output) holds
// up only this thread; when the queue is full or memory is short, lines are dropped and
// counted, and one line says how many once there is room again.
class LogChannel : public LogSink {
public:
    static constexpr size_t kDefaultCapacity = 10000;

    explicit LogChannel(size_t capacity = kDefaultCapacity);
    // Writes what is queued (waiting at most a second for blocked writers), then stops.
    ~LogChannel() override;
    LogChannel(const LogChannel&) = delete;
    LogChannel& operator=(const LogChannel&) = delete;

    // Writers are attached before the first line or at any time after; each gets the lines
    // posted from then on. Once removeWriter has returned, the writer is not written to again.
    void addWriter(std::shared_ptr<LogWriter> writer);
    void removeWriter(const LogWriter* writer);

    void post(LogLine line) override;
    void lost() override;
    // Returns once every line posted before the call has been written, or after `timeout`.
    bool flush(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    uint64_t dropped() const { return dropped_.load(); }

private:
    void run();
    // Counts lines as dropped; with mutex_ held.
    void loseLocked(uint64_t lines);

    const size_t capacity_;
    std::mutex mutex_; // guards everything below but the thread
    std::condition_variable changed_;
    std::deque<LogLine> queue_;
    std::vector<std::shared_ptr<LogWriter>> writers_;
    bool writing_ = false; // the log's thread is handing lines to the writers
    uint64_t posted_ = 0;
    uint64_t written_ = 0;
    uint64_t droppedUnreported_ = 0;
    bool stopping_ = false;
    std::atomic<uint64_t> dropped_{0};
    std::thread thread_;
};

} // namespace kavelin
