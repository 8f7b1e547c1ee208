#include "engine/OutputSink.h"

#include "engine/ThreadPriority.h"

#include <new>
#include <system_error>

namespace kavelin {

const char* outputStateName(OutputState state) {
    switch (state) {
    case OutputState::Running:
        return "running";
    case OutputState::Retrying:
        return "retrying";
    case OutputState::Failed:
        return "failed";
    }
    return "unknown";
}

OutputSink::OutputSink(std::string name, std::unique_ptr<FrameConsumer> consumer, size_t depth)
    : name_(std::move(name)), consumer_(std::move(consumer)), depth_(depth == 0 ? 1 : depth) {}

OutputSink::~OutputSink() {
    stop();
}

Status OutputSink::start() {
    if (thread_.joinable())
        return failure("already running");
    if (Status opened = consumer_->open(); !opened)
        return opened;
    {
        std::lock_guard lock(mutex_);
        running_ = true;
    }
    stopping_ = false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        std::lock_guard lock(mutex_);
        running_ = false;
        return failure(e.what());
    }
    return done();
}

void OutputSink::stop() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    wake_.notify_all();
    thread_.join();
}

void OutputSink::offer(std::shared_ptr<const Frame> frame) {
    {
        std::lock_guard lock(mutex_);
        if (!running_)
            return;
        if (queue_.size() >= depth_) {
            queue_.pop_front();
            dropped_.fetch_add(1);
        }
        try {
            queue_.push_back(std::move(frame));
        } catch (const std::bad_alloc&) {
            dropped_.fetch_add(1);
            return;
        }
    }
    wake_.notify_one();
}

void OutputSink::run() {
    raiseForFramePath();
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !running_ || !queue_.empty(); });
        if (!running_)
            break;
        std::shared_ptr<const Frame> frame = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        bool delivered = false;
        try {
            delivered = consumer_->consume(*frame, stopping_);
        } catch (const std::bad_alloc&) {
        }
        (delivered ? delivered_ : dropped_).fetch_add(1);
        frame.reset();
        lock.lock();
    }
    queue_.clear();
    lock.unlock();
    consumer_->finish();
}

} // namespace kavelin
