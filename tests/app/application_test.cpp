#include "app/Application.h"
#include "net/ServerTestSupport.h"
#include "output/HeadlessOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace kavelin;

namespace {

class CollectedLog {
public:
    void add(std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    bool waitFor(const std::string& line) {
        for (int i = 0; i < 500; ++i) {
            for (const auto& l : lines())
                if (l == line)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

Application::Settings settingsOn(uint16_t port) {
    Application::Settings settings;
    settings.port = port;
    settings.listenAddress = "127.0.0.1";
    return settings;
}

std::unique_ptr<Output> fastOutput(const Application::Settings&) {
    return std::make_unique<HeadlessOutput>(720, 576, 250);
}

} // namespace

// Worker, server and frame clock together: commands while frames are composed, then shutdown.
TEST(ApplicationTest, StartsServesAndShutsDownInOrder) {
    const uint16_t port = test::freePort();
    CollectedLog log;
    {
        Application app(settingsOn(port), fastOutput);
        app.setLogView([&](std::string_view line) { log.add(line); });
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(log.waitFor("Ready."));
        test::Client client(port);
        ASSERT_TRUE(client.connected());
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(client.send("116\n121 " + std::to_string(i) + "\n62 " + std::to_string(i) +
                                    " 32 32\n75 " + std::to_string(i) + "\n88 " +
                                    std::to_string(i) + " 0 3\n"));
            EXPECT_EQ(client.readLine(), "OK " + std::to_string(i) + "\n");
            EXPECT_EQ(client.readLine(), "OK " + std::to_string(i) + "\n");
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(client.readLine(), "OK\n");
        }
        app.stop();
        app.wait();
        EXPECT_TRUE(app.workerEnded());
        EXPECT_EQ(app.failure(), Application::Failure::None);
    }
    const auto lines = log.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Kavelin 4.0 initializing...");
    EXPECT_EQ(lines[1], "Ready.");
}

TEST(ApplicationTest, ATakenPortFailsTheStartUp) {
    const uint16_t port = test::freePort();
    CollectedLog firstLog, secondLog;
    Application first(settingsOn(port), fastOutput);
    first.setLogView([&](std::string_view line) { firstLog.add(line); });
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(firstLog.waitFor("Ready."));

    Application second(settingsOn(port), fastOutput);
    second.setLogView([&](std::string_view line) { secondLog.add(line); });
    ASSERT_TRUE(second.start());
    second.wait();
    EXPECT_EQ(second.failure(), Application::Failure::CommandSource);
    EXPECT_EQ(secondLog.lines(), (std::vector<std::string>{"Kavelin 4.0 initializing...",
                                                           "Unable to initialize command source!",
                                                           "Error occured.\n"}));
    first.stop();
}

TEST(ApplicationTest, StopBeforeReadyStillShutsDown) {
    const uint16_t port = test::freePort();
    Application app(settingsOn(port), fastOutput);
    ASSERT_TRUE(app.start());
    app.stop(); // the worker finds the event set after "Ready." and shuts down at once
    app.wait();
    EXPECT_TRUE(app.workerEnded());
}
