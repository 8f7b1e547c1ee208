#include "engine/Event.h"
#include "engine/FrameTimer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

using namespace std::chrono_literals;
using kavelin::Event;
using kavelin::FrameTimer;
using SteadyClock = std::chrono::steady_clock;

namespace {

// Records the time of every tick and runs an optional extra body with the tick's index.
class RecordingTimer : public FrameTimer {
public:
    static constexpr int kMaxTicks = 64;

    explicit RecordingTimer(int wanted = kMaxTicks) : wanted_(wanted) {}
    ~RecordingTimer() override { stop(); }

    std::function<void(int)> body;
    std::array<SteadyClock::time_point, kMaxTicks> times{};
    std::atomic<int> ticks{0};
    Event enough; // set when `wanted` ticks have been seen

protected:
    void tick() override {
        const int index = ticks.load();
        if (index < kMaxTicks)
            times[static_cast<size_t>(index)] = SteadyClock::now();
        if (body)
            body(index);
        ticks.store(index + 1);
        if (index + 1 == wanted_)
            enough.set();
    }

private:
    int wanted_;
};

double ms(SteadyClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

// Ticks stay on the grid start + k x period even though every tick takes 3 ms of the 10 ms
// period: a timer that sleeps one period after each tick would slide 3 ms per tick.
TEST(FrameTimerTest, TicksFollowAbsoluteDeadlinesWithoutDrift) {
    constexpr int kTicks = 40;
    constexpr double kPeriod = 10.0;
    RecordingTimer timer(kTicks);
    timer.body = [](int) { std::this_thread::sleep_for(3ms); };
    const SteadyClock::time_point t0 = SteadyClock::now();
    ASSERT_TRUE(timer.start(10, false));
    ASSERT_TRUE(timer.enough.waitFor(5s));
    ASSERT_TRUE(timer.stop());

    int onGrid = 0;
    double previous = 0;
    for (int k = 0; k < kTicks; ++k) {
        const double t = ms(timer.times[static_cast<size_t>(k)] - t0);
        // Never early: the k-th tick is due no sooner than k + 1 periods after the start.
        EXPECT_GE(t, (k + 1) * kPeriod - 0.01) << "tick " << k;
        // Late ticks are skipped, so consecutive ticks are always on different deadlines.
        if (k > 0) {
            EXPECT_GT(t - previous, 0.0);
        }
        previous = t;
        const double behindDeadline = t - kPeriod * static_cast<int>(t / kPeriod);
        if (behindDeadline < 4.0)
            ++onGrid;
    }
    // A drifting timer lands within 4 ms of a deadline for about 4 ticks in 10. Here nearly
    // every tick does; the margin absorbs the odd late wake-up on a busy machine.
    EXPECT_GE(onGrid, kTicks * 7 / 10) << "ticks near their deadline: " << onGrid;
}

// A tick that overruns three deadlines is followed by the next deadline on the grid, not by
// a burst of make-up ticks.
TEST(FrameTimerTest, SlowTickSkipsMissedDeadlinesInsteadOfBunching) {
    constexpr double kPeriod = 10.0;
    RecordingTimer timer(10);
    SteadyClock::time_point slowEnd;
    timer.body = [&](int index) {
        if (index == 2) {
            std::this_thread::sleep_for(35ms);
            slowEnd = SteadyClock::now();
        }
    };
    const SteadyClock::time_point t0 = SteadyClock::now();
    ASSERT_TRUE(timer.start(10, false));
    ASSERT_TRUE(timer.enough.waitFor(5s));
    ASSERT_TRUE(timer.stop());

    const double end = ms(slowEnd - t0);
    const double nextDeadline = kPeriod * std::ceil(end / kPeriod);
    const double next = ms(timer.times[3] - t0);
    EXPECT_GE(next, nextDeadline - 0.5) << "slow tick ended at " << end;

    int burst = 0;
    for (int k = 3; k < 10; ++k) {
        const double t = ms(timer.times[static_cast<size_t>(k)] - t0);
        if (t >= end && t < end + 2 * kPeriod)
            ++burst;
    }
    EXPECT_LE(burst, 2) << "ticks within two periods after the slow tick";
}

TEST(FrameTimerTest, StopWaitsForTheRunningTickAndEndsTicking) {
    RecordingTimer timer;
    Event entered;
    std::atomic<bool> finished{false};
    timer.body = [&](int index) {
        if (index == 0) {
            entered.set();
            std::this_thread::sleep_for(100ms);
            finished = true;
        }
    };
    ASSERT_TRUE(timer.start(5, false));
    ASSERT_TRUE(entered.waitFor(5s));
    EXPECT_TRUE(timer.stop());
    EXPECT_TRUE(finished.load());
    const int ticks = timer.ticks.load();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(timer.ticks.load(), ticks);

    const SteadyClock::time_point before = SteadyClock::now();
    EXPECT_TRUE(timer.stop()); // second stop: at once
    EXPECT_LT(ms(SteadyClock::now() - before), 50.0);
}

TEST(FrameTimerTest, StopBeforeTheFirstTickReturnsPromptly) {
    RecordingTimer timer;
    ASSERT_TRUE(timer.start(10000, false));
    const SteadyClock::time_point before = SteadyClock::now();
    EXPECT_TRUE(timer.stop());
    EXPECT_LT(ms(SteadyClock::now() - before), 1000.0);
    EXPECT_EQ(timer.ticks.load(), 0);

    RecordingTimer neverStarted;
    EXPECT_TRUE(neverStarted.stop());
    // Destruction of a started timer stops it.
    auto* started = new RecordingTimer;
    ASSERT_TRUE(started->start(10000, false));
    delete started;
}

TEST(FrameTimerTest, StopFromInsideTickEndsTheTimerWithoutDeadlock) {
    RecordingTimer timer;
    std::atomic<bool> stopResult{false};
    timer.body = [&](int index) {
        if (index == 2)
            stopResult = timer.stop();
    };
    ASSERT_TRUE(timer.start(5, false));
    const SteadyClock::time_point deadline = SteadyClock::now() + 3s;
    while (timer.ticks.load() < 3 && SteadyClock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(timer.ticks.load(), 3);
    EXPECT_TRUE(stopResult.load());
    EXPECT_TRUE(timer.stop());

    // The timer can be started again afterwards.
    timer.body = nullptr;
    ASSERT_TRUE(timer.start(5, false));
    while (timer.ticks.load() < 5 && SteadyClock::now() < deadline + 3s)
        std::this_thread::sleep_for(2ms);
    EXPECT_TRUE(timer.stop());
    EXPECT_GE(timer.ticks.load(), 5);
}

TEST(FrameTimerTest, OneShotTicksOnceAndStartRulesHold) {
    RecordingTimer timer(1);
    EXPECT_FALSE(timer.start(0, false));
    ASSERT_TRUE(timer.start(5, true));
    EXPECT_FALSE(timer.start(5, true)); // already running
    ASSERT_TRUE(timer.enough.waitFor(5s));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(timer.ticks.load(), 1);

    // A fired one-shot timer may be started again.
    ASSERT_TRUE(timer.start(5, true));
    const SteadyClock::time_point deadline = SteadyClock::now() + 3s;
    while (timer.ticks.load() < 2 && SteadyClock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    EXPECT_TRUE(timer.stop());
    EXPECT_EQ(timer.ticks.load(), 2);
}
