#pragma once

#include "engine/Compositor.h"
#include "engine/Format.h"
#include "engine/Frame.h"
#include "engine/FrameClock.h"
#include "engine/FrameHealth.h"
#include "engine/OutputSink.h"
#include "engine/SharedScene.h"
#include "image/CleanKey.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kavelin {

// Figures of the frame path since the engine started.
struct EngineStats {
    uint64_t frames = 0;  // composed and handed to the outputs
    uint64_t late = 0;    // handed out more than a quarter of a period after their deadline
    uint64_t skipped = 0; // deadlines that passed while an earlier frame was still being made,
                          // and frames not made for want of memory
    std::chrono::nanoseconds longestLockWait{0};
};

// Owns the picture's making: the scene, the frame clock, composition and the outputs. On every
// tick it advances the animations once (once per field when interlaced), composes the visible
// layers once into a frame, and hands that frame to every output.
class Engine {
public:
    // None when the memory for the background or the first frame cannot be had.
    static std::unique_ptr<Engine> create(const Format& format, PixelColour background,
                                          CompositorSettings compositing = {});
    // Stops the clock, then the outputs.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    const Format& format() const { return format_; }
    // How the frames' alpha goes out; set before the clock starts.
    void setKey(KeyMode key) { key_ = key; }
    // Called on the frame path each time a frame has been handed to the outputs, so that the
    // program can tell that frames keep coming; it must not wait for anything. Set before the
    // clock starts.
    void setFrameListener(std::function<void()> listener) { frameListener_ = std::move(listener); }
    SharedScene& scene() { return scene_; }

    // Starts an output and adds it to those fed with frames; its number, or the reason it
    // could not start.
    Result<int32_t> addOutput(std::unique_ptr<OutputSink> output);
    // Stops an output and destroys it; false without such an output.
    bool removeOutput(int32_t number);
    // Never holds up the frame path.
    std::vector<OutputStatus> outputs() const;

    // Frames follow the clock from now on; false when it cannot start.
    bool start(std::unique_ptr<FrameClock> clock);
    // No tick runs once this has returned.
    void stop();

    // One frame: the animations advance and the visible layers are composed. The clock's
    // ticks come here; offline rendering calls it directly. None when memory is short.
    std::shared_ptr<const Frame> composeFrame(int64_t number = 0,
                                              SteadyClock::time_point deadline = {});

    EngineStats stats() const;
    // Empty while frames go out on time; otherwise why not, in one line (see FrameHealth).
    std::string health() const;

private:
    Engine(const Format& format, std::unique_ptr<Compositor> compositor);
    void onTick(const Tick& tick);

    struct Output {
        int32_t number;
        std::unique_ptr<OutputSink> sink;
    };

    const Format format_;
    KeyMode key_ = KeyMode::Composed;
    SharedScene scene_;
    const std::unique_ptr<Compositor> compositor_;
    FramePool pool_;
    DrawList drawList_; // the frame path's, reused from frame to frame

    mutable std::mutex outputsMutex_; // guards outputs_ and nextOutput_
    // Guards outputs_ as well, for readers that the frame path must not wait for: changes
    // take both mutexes, the frame path only the first, readers only this one.
    mutable std::mutex readersMutex_;
    std::vector<Output> outputs_;
    int32_t nextOutput_ = 1;

    std::unique_ptr<FrameClock> clock_;
    std::atomic<const FrameClock*> runningClock_{nullptr}; // clock_ for other threads
    FrameHealth health_;
    std::function<void()> frameListener_;

    std::atomic<uint64_t> frames_{0};
    std::atomic<uint64_t> late_{0};
    std::atomic<uint64_t> skipped_{0};
    std::atomic<int64_t> longestLockWait_{0};
};

} // namespace kavelin
