#include "engine/Engine.h"
#include "engine/SharedScene.h"
#include "engine/SteadyFrameClock.h"
#include "engine/SteppedFrameClock.h"
#include "support/ScopedMemoryLimit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace kavelin;

namespace {

// Remembers the frames it is given; `hold` makes it wait inside consume until released.
class RecordingConsumer : public FrameConsumer {
public:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<int64_t> numbers;
        bool hold = false, holding = false, finished = false, destroyed = false;
        bool usedAfterDestruction = false;
        void setHold(bool value) {
            std::lock_guard lock(mutex);
            hold = value;
            changed.notify_all();
        }
    };

    explicit RecordingConsumer(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    ~RecordingConsumer() override {
        std::lock_guard lock(shared_->mutex);
        shared_->destroyed = true;
    }

    bool consume(const Frame& frame, const std::atomic<bool>& stopping) override {
        std::unique_lock lock(shared_->mutex);
        if (shared_->destroyed)
            shared_->usedAfterDestruction = true;
        shared_->numbers.push_back(frame.number);
        shared_->holding = shared_->hold;
        shared_->changed.notify_all();
        shared_->changed.wait(lock, [&] { return !shared_->hold || stopping.load(); });
        shared_->holding = false;
        return true;
    }
    void finish() override {
        std::lock_guard lock(shared_->mutex);
        shared_->finished = true;
    }

private:
    std::shared_ptr<Shared> shared_;
};

using Shared = RecordingConsumer::Shared;

struct Clocked {
    std::unique_ptr<Engine> engine;
    SteppedFrameClock* clock = nullptr;

    explicit Clocked(const char* format = "64x48@25") {
        engine = Engine::create(*parseFormat(format), {0, 0, 0, 255});
        auto stepped = std::make_unique<SteppedFrameClock>();
        clock = stepped.get();
        EXPECT_TRUE(engine->start(std::move(stepped)));
    }
    std::shared_ptr<Shared> addRecorder(size_t depth = 16) {
        auto shared = std::make_shared<Shared>();
        EXPECT_TRUE(engine->addOutput(std::make_unique<OutputSink>(
            "recorder", std::make_unique<RecordingConsumer>(shared), depth)));
        return shared;
    }
};

bool waitFor(Shared& shared, const std::function<bool()>& done) {
    std::unique_lock lock(shared.mutex);
    return shared.changed.wait_for(lock, std::chrono::seconds(10), done);
}

} // namespace

TEST(EngineTest, EveryOutputGetsTheSameFrameAndASlowOneLosesOnlyItsOwn) {
    Clocked c;
    auto fast = c.addRecorder();
    auto slow = c.addRecorder(2);
    slow->setHold(true);
    c.clock->step(1);
    ASSERT_TRUE(waitFor(*slow, [&] { return slow->holding; }));
    // The slow output holds frame 1; frames 2 and 3 wait in its queue, 4 to 6 push out the
    // oldest. The clock never waits for it.
    for (int i = 0; i < 5; ++i)
        c.clock->step(1);
    ASSERT_TRUE(waitFor(*fast, [&] { return fast->numbers.size() == 6; }));
    slow->setHold(false);
    ASSERT_TRUE(waitFor(*slow, [&] { return slow->numbers.size() == 3; }));
    EXPECT_EQ(fast->numbers, (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(slow->numbers, (std::vector<int64_t>{1, 5, 6}));
    ASSERT_EQ(c.engine->outputs().size(), 2u);
    EXPECT_EQ(std::pair(c.engine->outputs()[1].dropped, c.engine->stats().frames),
              std::pair(3ul, 6ul));
}

TEST(EngineTest, OutputsAreStoppedBeforeTheirConsumersGoAndNeverFedAfterwards) {
    auto shared = std::make_shared<Shared>();
    {
        Clocked c;
        const Result<int32_t> number = c.engine->addOutput(
            std::make_unique<OutputSink>("recorder", std::make_unique<RecordingConsumer>(shared)));
        ASSERT_TRUE(number.ok());
        auto other = c.addRecorder();
        // A clock on another thread keeps frames coming while outputs go.
        std::atomic<bool> running{true};
        std::thread ticker([&] {
            while (running)
                c.clock->step(1);
        });
        ASSERT_TRUE(waitFor(*shared, [&] { return shared->numbers.size() > 3; }));
        EXPECT_TRUE(c.engine->removeOutput(*number));
        EXPECT_FALSE(c.engine->removeOutput(*number));
        EXPECT_TRUE(shared->finished && shared->destroyed); // its thread has ended
        ASSERT_TRUE(waitFor(*other, [&] { return other->numbers.size() > 3; }));
        running = false;
        ticker.join();
        // The engine goes with an output still attached: the clock stops first.
    }
    EXPECT_FALSE(shared->usedAfterDestruction);
}

TEST(EngineTest, FramesWithoutRoomInTheMemoryBudgetAreSkippedNotFatal) {
    Clocked c;
    auto recorder = c.addRecorder();
    {
        const test::ScopedMemoryLimit full(MemoryBudget::process().used());
        c.clock->step(3);
    }
    EXPECT_EQ(std::pair(c.engine->stats().frames, c.engine->stats().skipped), std::pair(0ul, 3ul));
    c.clock->step(2);
    ASSERT_TRUE(waitFor(*recorder, [&] { return recorder->numbers.size() == 2; }));
    EXPECT_EQ(recorder->numbers, (std::vector<int64_t>{4, 5}));
}

// The verdict of the health check at a moment, after frames marked at given moments (ms on
// the clock's time line, 40 ms periods; a negative lateness is an on-time frame).
TEST(FrameHealthTest, OnTimeUntilAFrameIsLateOrMissing) {
    using std::chrono::milliseconds;
    struct Mark {
        int64_t at, late;
    };
    struct Case {
        std::vector<Mark> marks;
        int64_t now;
        std::string verdict; // empty: on time
    };
    const Case cases[] = {
        {{}, 0, "no frame handed out yet"},
        {{{0, 0}, {40, 0}}, 240, ""}, // five periods without a frame: still on time
        {{{0, 0}, {40, 0}}, 241, "no frame for 0.201 s (a frame is due every 0.040 s)"},
        {{{1000, 0}}, 900, ""}, // a frame stamped ahead of now (a late tick of a stepped clock)
        {{{0, 0}, {40, 15}, {80, 0}},
         100,
         "a frame went out 0.015 s late 0.1 s ago (a period is 0.040 s)"},
        {{{40, 15}, {5000, 0}},
         5039,
         "a frame went out 0.015 s late 5.0 s ago (a period is 0.040 s)"},
        {{{40, 15}, {5000, 0}}, 5040, ""}, // the late frame is five seconds old
    };
    for (const Case& c : cases) {
        FrameHealth health(milliseconds(40));
        const SteadyClock::time_point origin{std::chrono::hours(1)};
        for (const Mark& m : c.marks)
            health.frameOut(origin + milliseconds(m.at), milliseconds(m.late));
        EXPECT_EQ(health.judge(origin + milliseconds(c.now)), c.verdict) << c.now;
    }
}

TEST(EngineTest, TheSteadyClockTicksOnItsDeadlinesAndStopsPromptly) {
    auto engine = Engine::create(*parseFormat("16x16@200"), {0, 0, 0, 255});
    auto shared = std::make_shared<Shared>();
    ASSERT_TRUE(engine->addOutput(
        std::make_unique<OutputSink>("recorder", std::make_unique<RecordingConsumer>(shared))));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(engine->start(std::make_unique<SteadyFrameClock>()));
    EXPECT_FALSE(engine->start(std::make_unique<SteadyFrameClock>()));
    ASSERT_TRUE(waitFor(*shared, [&] { return shared->numbers.size() >= 20; }));
    engine->stop();
    // 20 frames at 200 a second take 100 ms, less the head start of the last one's composing
    // (a quarter of a period); frame numbers only grow (a late tick skips deadlines rather than
    // bunching them).
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(100000 - 1250));
    std::lock_guard lock(shared->mutex);
    EXPECT_EQ(shared->numbers[0], 1);
    EXPECT_TRUE(std::is_sorted(shared->numbers.begin(), shared->numbers.end(), std::less_equal()));
}

TEST(SceneLockTest, AWaitingFrameGoesBeforeAnyNewCommand) {
    SceneLock lock;
    std::vector<std::string> order; // written under the lock
    lock.lockForCommand();          // a command section in progress
    std::thread frame([&] {
        lock.lockForFrame();
        order.emplace_back("frame");
        lock.unlock();
    });
    while (!lock.frameWaiting())
        std::this_thread::yield();
    std::atomic<bool> commandAsking{false};
    std::thread command([&] {
        commandAsking = true;
        lock.lockForCommand();
        order.emplace_back("command");
        lock.unlock();
    });
    while (!commandAsking)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let it reach the gate
    lock.unlock();
    frame.join();
    command.join();
    EXPECT_EQ(order, (std::vector<std::string>{"frame", "command"}));
}
