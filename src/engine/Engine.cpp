#include "engine/Engine.h"

#include <algorithm>
#include <new>

namespace kavelin {

std::unique_ptr<Engine> Engine::create(const Format& format, PixelColour background,
                                       CompositorSettings compositing) {
    std::unique_ptr<Compositor> compositor =
        Compositor::create(format.width, format.height, background, compositing);
    if (!compositor)
        return nullptr;
    return std::unique_ptr<Engine>(new Engine(format, std::move(compositor)));
}

Engine::Engine(const Format& format, std::unique_ptr<Compositor> compositor)
    : format_(format), compositor_(std::move(compositor)), pool_(format.width, format.height),
      health_(format.rate.period()) {}

Engine::~Engine() {
    stop();
    std::vector<Output> outputs;
    {
        std::scoped_lock lock(outputsMutex_, readersMutex_);
        outputs.swap(outputs_);
    }
    outputs.clear(); // each output's thread ends before its consumer goes
}

Result<int32_t> Engine::addOutput(std::unique_ptr<OutputSink> output) {
    if (Status started = output->start(); !started)
        return started.error();
    std::scoped_lock lock(outputsMutex_, readersMutex_);
    const int32_t number = nextOutput_++;
    outputs_.push_back({number, std::move(output)});
    return number;
}

bool Engine::removeOutput(int32_t number) {
    std::unique_ptr<OutputSink> removed;
    {
        std::scoped_lock lock(outputsMutex_, readersMutex_);
        const auto it = std::find_if(outputs_.begin(), outputs_.end(),
                                     [number](const Output& o) { return o.number == number; });
        if (it == outputs_.end())
            return false;
        removed = std::move(it->sink);
        outputs_.erase(it);
    }
    removed.reset(); // stopped outside the lock: the frame path never waits for it
    return true;
}

std::vector<OutputStatus> Engine::outputs() const {
    std::lock_guard lock(readersMutex_);
    std::vector<OutputStatus> list;
    for (const Output& o : outputs_)
        list.push_back({o.number, o.sink->name(), o.sink->consumer().state(), o.sink->delivered(),
                        o.sink->dropped()});
    return list;
}

bool Engine::start(std::unique_ptr<FrameClock> clock) {
    if (clock_ || !clock)
        return false;
    if (!clock->start(format_.rate, [this](const Tick& tick) { onTick(tick); }))
        return false;
    clock_ = std::move(clock);
    runningClock_ = clock_.get();
    return true;
}

void Engine::stop() {
    if (clock_)
        clock_->stop();
}

std::shared_ptr<const Frame> Engine::composeFrame(int64_t number,
                                                  SteadyClock::time_point deadline) {
    std::shared_ptr<Frame> frame = pool_.acquire();
    const int32_t fields = format_.fieldsPerFrame();
    for (int32_t field = 0; field < fields; ++field) {
        const std::chrono::nanoseconds waited = scene_.forFrame([this](Scene& scene) {
            scene.advance();
            scene.collect(drawList_);
        });
        int64_t longest = longestLockWait_.load();
        while (waited.count() > longest &&
               !longestLockWait_.compare_exchange_weak(longest, waited.count())) {
        }
        if (frame)
            compositor_->compose(*frame->pixels, drawList_, format_.interlaced ? field : -1);
    }
    if (frame) {
        if (key_ == KeyMode::Clean)
            cleanKey(*frame->pixels);
        frame->number = number;
        frame->deadline = deadline;
    }
    return frame;
}

void Engine::onTick(const Tick& tick) {
    const SteadyClock::time_point began = SteadyClock::now();
    skipped_.fetch_add(static_cast<uint64_t>(tick.skipped));
    std::shared_ptr<const Frame> frame;
    try {
        frame = composeFrame(tick.frame, tick.deadline);
    } catch (const std::bad_alloc&) {
        // Out of memory: this frame is skipped, the next one tries again.
    }
    if (!frame) {
        skipped_.fetch_add(1);
        return;
    }
    {
        std::lock_guard lock(outputsMutex_);
        for (const Output& output : outputs_)
            output.sink->offer(frame);
    }
    frames_.fetch_add(1);
    if (frameListener_)
        frameListener_();
    // The frame is out: the pictures it was made of are let go now, outside the scene's lock
    // (a picture that a command replaced meanwhile is freed here, not under the lock).
    for (DrawItem& item : drawList_)
        item.image.reset();
    // On the clock's own time line (a stepped clock's time is not the steady clock's).
    const SteadyClock::time_point handedOut =
        tick.now + (tick.realTime ? SteadyClock::now() - began : std::chrono::nanoseconds{0});
    const bool late = handedOut - tick.deadline > format_.rate.period() / 4;
    if (late)
        late_.fetch_add(1);
    health_.frameOut(handedOut, late ? handedOut - tick.deadline : std::chrono::nanoseconds{0});
}

std::string Engine::health() const {
    const FrameClock* clock = runningClock_.load();
    return health_.judge(clock != nullptr ? clock->now() : SteadyClock::now());
}

EngineStats Engine::stats() const {
    return {frames_.load(), late_.load(), skipped_.load(),
            std::chrono::nanoseconds(longestLockWait_.load())};
}

} // namespace kavelin
