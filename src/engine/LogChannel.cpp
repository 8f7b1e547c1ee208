#include "engine/LogChannel.h"

#include "engine/ThreadPriority.h"

#include <algorithm>
#include <iterator>

namespace kavelin {

LogChannel::LogChannel(size_t capacity) : capacity_(capacity), thread_([this] { run(); }) {}

LogChannel::~LogChannel() {
    const bool drained = flush(std::chrono::seconds(1));
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (!drained)
            for (const auto& writer : writers_)
                writer->interrupt();
    }
    changed_.notify_all();
    thread_.join();
}

void LogChannel::addWriter(std::shared_ptr<LogWriter> writer) {
    std::lock_guard lock(mutex_);
    writers_.push_back(std::move(writer));
}

void LogChannel::removeWriter(const LogWriter* writer) {
    std::unique_lock lock(mutex_);
    std::erase_if(writers_, [writer](const auto& w) { return w.get() == writer; });
    if (std::this_thread::get_id() != thread_.get_id())
        changed_.wait(lock, [this] { return !writing_; });
}

void LogChannel::post(LogLine line) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= capacity_) {
            ++droppedUnreported_;
            dropped_.fetch_add(1);
            return;
        }
        // The log's thread takes every line queued when it wakes: one wake-up per burst.
        wake = queue_.empty();
        queue_.push_back(std::move(line));
        ++posted_;
    }
    if (wake)
        changed_.notify_all();
}

bool LogChannel::flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const uint64_t target = posted_;
    return changed_.wait_for(lock, timeout, [&] { return written_ >= target; });
}

void LogChannel::run() {
    yieldToFramePath();
    std::vector<LogLine> batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty() && stopping_)
            return;
        batch.assign(std::make_move_iterator(queue_.begin()),
                     std::make_move_iterator(queue_.end()));
        queue_.clear();
        if (droppedUnreported_ > 0) {
            batch.push_back({LogLine::Kind::Log, "WARNING : " + std::to_string(droppedUnreported_) +
                                                     " log lines lost."});
            droppedUnreported_ = 0;
        }
        // A writer removed meanwhile stays alive until these lines are written.
        const std::vector<std::shared_ptr<LogWriter>> writers = writers_;
        writing_ = true;
        lock.unlock();
        for (const auto& writer : writers)
            writer->write(batch);
        lock.lock();
        writing_ = false;
        written_ = posted_ - queue_.size();
        changed_.notify_all();
    }
}

} // namespace kavelin
