#include "engine/Thread.h"

#include <system_error>

namespace kavelin {

Thread::~Thread() {
    std::lock_guard lock(control_);
    if (!thread_.joinable())
        return;
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

bool Thread::start() {
    std::lock_guard lock(control_);
    if (state_ && state_->running.load())
        return false;
    // The previous body has returned; collect its thread before starting the next one.
    if (thread_.joinable())
        thread_.join();
    auto state = std::make_shared<State>();
    Runnable* body = &runnable_;
    try {
        thread_ = std::thread([state, body] {
            body->run();
            state->running.store(false);
            state->done.set();
        });
    } catch (const std::system_error&) {
        state_.reset();
        return false;
    }
    state_ = std::move(state);
    return true;
}

void Thread::wait() {
    std::shared_ptr<State> state;
    {
        std::lock_guard lock(control_);
        if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id())
            return;
        state = state_;
    }
    state->done.wait();
    std::lock_guard lock(control_);
    if (state_ == state && thread_.joinable())
        thread_.join();
}

bool Thread::running() const {
    std::lock_guard lock(control_);
    return state_ && state_->running.load();
}

} // namespace kavelin
