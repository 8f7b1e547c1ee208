#include "engine/LogChannel.h"

#include "engine/ThreadPriority.h"

#include <algorithm>
#include <iterator>
#include <new>

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
            loseLocked(1);
            return;
        }
        // The log's thread takes every line queued when it wakes: one wake-up per burst.
        wake = queue_.empty();
        try {
            queue_.push_back(std::move(line));
        } catch (const std::bad_alloc&) {
            loseLocked(1);
            return;
        }
        ++posted_;
    }
    if (wake)
        changed_.notify_all();
}

void LogChannel::lost() {
    std::lock_guard lock(mutex_);
    loseLocked(1);
}

void LogChannel::loseLocked(uint64_t lines) {
    droppedUnreported_ += lines;
    dropped_.fetch_add(lines);
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
        std::vector<std::shared_ptr<LogWriter>> writers;
        try {
            batch.assign(std::make_move_iterator(queue_.begin()),
                         std::make_move_iterator(queue_.end()));
            queue_.clear();
            if (droppedUnreported_ > 0) {
                batch.push_back(
                    {LogLine::Kind::Log,
                     "WARNING : " + std::to_string(droppedUnreported_) + " log lines lost.",
                     std::chrono::system_clock::now()});
                droppedUnreported_ = 0;
            }
            // A writer removed meanwhile stays alive until these lines are written.
            writers = writers_;
        } catch (const std::bad_alloc&) {
            // Without the memory to hand them on, the lines waiting are lost, and counted.
            loseLocked(queue_.size() + batch.size());
            queue_.clear();
            batch.clear();
            written_ = posted_;
            changed_.notify_all();
            continue;
        }
        writing_ = true;
        lock.unlock();
        bool failed = false;
        for (const auto& writer : writers) {
            try {
                writer->write(batch);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
        }
        lock.lock();
        if (failed)
            loseLocked(batch.size());
        batch.clear();
        writing_ = false;
        written_ = posted_ - queue_.size();
        changed_.notify_all();
    }
}

} // namespace kavelin
