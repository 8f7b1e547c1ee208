#pragma once

#include "engine/Event.h"
#include "engine/Runnable.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace kavelin {

// Runs a Runnable's body on a thread of its own. A Thread may be started again once the
// body has returned.
class Thread {
public:
    explicit Thread(Runnable& runnable) : runnable_(runnable) {}
    // Waits for a body that is still running (owners normally `wait` first), except when
    // called from the body itself.
    ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when the body is still running or no thread could be created.
    bool start();
    // Returns once the body has returned; at once when it is not running, and at once when
    // called from the body itself (waiting there could never end).
    void wait();
    // True from `start` until the body has returned.
    bool running() const;

private:
    // Shared with the running body, so a body that outlives its Thread (destroyed from the
    // body itself) still finds it.
    struct State {
        Event done;
        std::atomic<bool> running{true};
    };

    Runnable& runnable_;
    mutable std::mutex control_;
    std::thread thread_;
    std::shared_ptr<State> state_;
};

} // namespace kavelin
