// What the service manager hears: readiness with the first frame, the watchdog only while
// frames come, and nothing after the word that the server stops.
#include "app/ServiceNotifier.h"

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace kavelin;
using kavelin::test::waitUntil;

TEST(ServiceNotifierTest, HeartbeatSpeaksOnlyWhenFramesCame) {
    // Frames counted at each look, and what the manager is told.
    const std::pair<uint64_t, const char*> looks[] = {
        {0, nullptr},      {0, nullptr}, {1, "READY=1"}, {1, nullptr},
        {5, "WATCHDOG=1"}, {5, nullptr}, {5, nullptr},   {6, "WATCHDOG=1"},
    };
    Heartbeat heartbeat;
    for (const auto& [frames, message] : looks) {
        const char* said = heartbeat.look(frames);
        EXPECT_STREQ(said, message) << "at " << frames << " frames";
    }
}

TEST(ServiceNotifierTest, ReadyComesWithTheFirstFrameAndStoppingIsTheLastWord) {
    std::mutex mutex;
    std::vector<std::string> said;
    const auto heard = [&] {
        std::lock_guard lock(mutex);
        return said;
    };
    // A look a day: only the first frame's wake-up can bring READY=1 in time.
    ServiceNotifier notifier(
        [&](const char* message) {
            std::lock_guard lock(mutex);
            said.push_back(message);
        },
        std::chrono::hours(24));
    EXPECT_TRUE(heard().empty());
    notifier.frameHandedOut();
    notifier.frameHandedOut();
    ASSERT_TRUE(waitUntil([&] { return !heard().empty(); }));
    notifier.stopping();
    notifier.frameHandedOut(); // a frame still on its way while the server shuts down
    EXPECT_EQ(heard(), (std::vector<std::string>{"READY=1", "STOPPING=1"}));
}
