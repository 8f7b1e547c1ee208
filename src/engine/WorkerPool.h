#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace kavelin {

// A fixed set of threads that share numbered pieces of work with the caller: run() hands out
// the pieces 0 .. count-1 to whoever is free, the calling thread included, and returns when all
// are done. No thread is made or ended per run. Workers run at the frame path's priority.
class WorkerPool {
public:
    // `threads` counts the caller: 1 makes no worker. Fewer workers than asked for when the
    // system refuses threads; the work is still done.
    explicit WorkerPool(int32_t threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Threads that take part in a run, the caller included.
    int32_t threads() const { return static_cast<int32_t>(workers_.size()) + 1; }

    // Calls piece(i) once for every i in [0, count). One run at a time.
    template <typename Piece>
    void run(int32_t count, Piece& piece) {
        runPieces(
            count, [](void* p, int32_t i) { (*static_cast<Piece*>(p))(i); }, &piece);
    }

private:
    using PieceCall = void (*)(void*, int32_t);
    void runPieces(int32_t count, PieceCall call, void* context);
    void takePieces(uint32_t run, PieceCall call, void* context, int32_t count);
    void work();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_; // a run started, or the pool ends
    bool ending_ = false;
    // The current run, read by the workers under the mutex when run_ changes.
    uint32_t run_ = 0;
    PieceCall call_ = nullptr;
    void* context_ = nullptr;
    int32_t count_ = 0;
    // The run's number in the high half, the next piece in the low half: a worker that wakes
    // late cannot take a piece of a later run with the earlier run's work.
    std::atomic<uint64_t> ticket_{0};
    std::atomic<int32_t> remaining_{0}; // pieces of the current run not yet done
};

} // namespace kavelin
