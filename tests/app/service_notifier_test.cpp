// What the service manager hears at each look: readiness with the first frame, the watchdog only
// while frames come. (The notifications of the real program, the last word included, are the
// headless program's test.)
#include "app/ServiceNotifier.h"

#include <gtest/gtest.h>

using namespace kavelin;

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
