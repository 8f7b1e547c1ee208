#include "engine/WorkerPool.h"

#include "engine/ThreadPriority.h"

#include <system_error>

namespace kavelin {

WorkerPool::WorkerPool(int32_t threads) {
    for (int32_t i = 1; i < threads; ++i) {
        try {
            workers_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // the caller and the workers made so far do the work
        }
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

void WorkerPool::runPieces(int32_t count, PieceCall call, void* context) {
    if (count <= 0)
        return;
    if (workers_.empty() || count == 1) {
        for (int32_t i = 0; i < count; ++i)
            call(context, i);
        return;
    }
    uint32_t run = 0;
    {
        std::lock_guard lock(mutex_);
        run = ++run_;
        call_ = call;
        context_ = context;
        count_ = count;
        remaining_.store(count, std::memory_order_relaxed);
        ticket_.store(uint64_t{run} << 32, std::memory_order_release);
    }
    wake_.notify_all();
    takePieces(run, call, context, count);
    // Only for pieces being done: a worker that has not woken yet finds nothing left to take.
    for (int32_t left = remaining_.load(std::memory_order_acquire); left != 0;
         left = remaining_.load(std::memory_order_acquire))
        remaining_.wait(left, std::memory_order_acquire);
}

void WorkerPool::takePieces(uint32_t run, PieceCall call, void* context, int32_t count) {
    uint64_t ticket = ticket_.load(std::memory_order_acquire);
    for (;;) {
        const auto piece = static_cast<int32_t>(ticket & 0xFFFFFFFFu);
        if (ticket >> 32 != run || piece >= count)
            return;
        if (!ticket_.compare_exchange_weak(ticket, ticket + 1, std::memory_order_acq_rel))
            continue;
        call(context, piece);
        if (remaining_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            remaining_.notify_one();
        ticket = ticket_.load(std::memory_order_acquire);
    }
}

void WorkerPool::work() {
    raiseForFramePath();
    uint32_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return ending_ || run_ != seen; });
        if (ending_)
            return;
        seen = run_;
        const PieceCall call = call_;
        void* const context = context_;
        const int32_t count = count_;
        lock.unlock();
        takePieces(seen, call, context, count);
        lock.lock();
    }
}

} // namespace kavelin
