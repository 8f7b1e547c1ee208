#include "engine/CriticalSection.h"
#include "engine/Event.h"
#include "engine/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using kavelin::CriticalSection;
using kavelin::Event;
using kavelin::Runnable;
using kavelin::Thread;

namespace {

// A body that runs until released.
class GatedBody : public Runnable {
public:
    void run() override {
        entered.set();
        gate.wait();
        ++runs;
    }
    Event entered;
    Event gate;
    std::atomic<int> runs{0};
};

class CountingBody : public Runnable {
public:
    void run() override { ++runs; }
    std::atomic<int> runs{0};
};

} // namespace

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    Event event;
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.waitFor(1ms));
    event.set();
    event.wait();
    EXPECT_TRUE(event.waitFor(0ms)); // still set after a wait
    event.reset();
    EXPECT_FALSE(event.waitFor(1ms));
    EXPECT_TRUE(Event(true).isSet());
}

TEST(EventTest, SetReleasesEveryWaiter) {
    Event event;
    std::atomic<int> released{0};
    std::thread a([&] {
        event.wait();
        ++released;
    });
    std::thread b([&] {
        event.wait();
        ++released;
    });
    event.set();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);
}

TEST(CriticalSectionTest, RecursiveForItsOwnerExclusiveForOthers) {
    CriticalSection cs;
    cs.enter();
    cs.enter();
    bool otherGot = true;
    std::thread([&] { otherGot = cs.tryEnter(); }).join();
    EXPECT_FALSE(otherGot);
    cs.leave();
    std::thread([&] { otherGot = cs.tryEnter(); }).join();
    EXPECT_FALSE(otherGot); // still held once
    cs.leave();
    std::thread([&] {
        otherGot = cs.tryEnter();
        if (otherGot)
            cs.leave();
    }).join();
    EXPECT_TRUE(otherGot);
}

TEST(ThreadTest, WaitReturnsOnceTheBodyHasReturned) {
    GatedBody body;
    Thread thread(body);
    ASSERT_TRUE(thread.start());
    ASSERT_TRUE(body.entered.waitFor(5s));
    EXPECT_TRUE(thread.running());
    EXPECT_FALSE(thread.start()); // one body at a time

    std::atomic<bool> waited{false};
    std::thread waiter([&] {
        thread.wait();
        waited = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(waited.load());
    body.gate.set();
    waiter.join();
    EXPECT_TRUE(waited.load());
    EXPECT_EQ(body.runs.load(), 1);
    EXPECT_FALSE(thread.running());
    thread.wait(); // after the end: at once
}

TEST(ThreadTest, CanBeStartedAgainAfterTheBodyReturned) {
    CountingBody body;
    Thread thread(body);
    thread.wait(); // never started: at once
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(thread.start());
        thread.wait();
        EXPECT_EQ(body.runs.load(), i);
    }
    // Started and not waited for: destruction collects the thread.
    ASSERT_TRUE(thread.start());
}

TEST(ThreadTest, WaitFromTheBodyItselfDoesNotBlock) {
    struct SelfWaiter : Runnable {
        Thread* thread = nullptr;
        std::atomic<bool> returned{false};
        void run() override {
            thread->wait();
            returned = true;
        }
    } body;
    Thread thread(body);
    body.thread = &thread;
    ASSERT_TRUE(thread.start());
    thread.wait();
    EXPECT_TRUE(body.returned.load());
}
