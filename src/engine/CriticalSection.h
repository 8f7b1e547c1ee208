#pragma once

#include <mutex>

namespace kavelin {

// A recursive lock: the thread that holds it may enter it again (and must leave as often).
// Also usable with std::lock_guard / std::unique_lock.
class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter();
    void leave();
    bool tryEnter();

    void lock() { enter(); }
    void unlock() { leave(); }
    bool try_lock() { return tryEnter(); }

private:
    std::recursive_mutex mutex_;
};

} // namespace kavelin
