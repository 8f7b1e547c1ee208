// The metrics port over HTTP, on an engine whose clock the test steps: what /metrics says as
// frames and commands go by, and /health as frames are made late on purpose.
#include "app/MetricsService.h"
#include "base/MemoryBudget.h"
#include "commands/CommandStats.h"
#include "engine/Engine.h"
#include "engine/SteppedFrameClock.h"
#include "net/CommandServer.h"
#include "support/ChildProcess.h"
#include "support/HttpGet.h"
#include "support/PrometheusParser.h"
#include "support/RecordingLog.h"
#include "support/ServerTestSupport.h"

#include <gtest/gtest.h>

using namespace kavelin;
using namespace std::chrono_literals;
using test::Exposition;
using test::httpGet;

namespace {

class NullConsumer : public FrameConsumer {
public:
    bool consume(const Frame&, const std::atomic<bool>&) override { return true; }
};

class MetricsServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(metrics.start("127.0.0.1", 0));
    }
    void startClock() {
        auto stepped = std::make_unique<SteppedFrameClock>();
        clock = stepped.get();
        ASSERT_TRUE(engine->start(std::move(stepped)));
    }
    Exposition scrape() {
        const test::HttpReply reply = httpGet(metrics.port(), "/metrics");
        EXPECT_EQ(reply.status, 200);
        EXPECT_NE(reply.headers.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
        Exposition e = test::parsePrometheus(reply.body);
        EXPECT_EQ(e.error, "") << reply.body;
        return e;
    }

    std::unique_ptr<Engine> engine = Engine::create(*parseFormat("64x48@25"), {0, 0, 0, 255});
    SteppedFrameClock* clock = nullptr;
    CommandStats commands;
    test::RecordingLog log;
    CommandServer server{log, 0, "127.0.0.1"};
    MetricsService metrics{{*engine, commands, server}};
};

} // namespace

// Every family with its type; counters that rise as frames and commands go by; the durations'
// buckets (a duration on a bound falls in that bound's bucket), sum and count.
TEST_F(MetricsServiceTest, CountersRiseAsFramesAndCommandsGoBy) {
    startClock();
    ASSERT_TRUE(engine->addOutput(std::make_unique<OutputSink>("raw:/tmp/with \"quotes\" and \\",
                                                               std::make_unique<NullConsumer>())));
    Exposition e = scrape();
    const std::map<std::string, std::string> types = {
        {"kavelin_frames_total", "counter"},
        {"kavelin_frames_late_total", "counter"},
        {"kavelin_frames_skipped_total", "counter"},
        {"kavelin_output_frames_dropped_total", "counter"},
        {"kavelin_commands_total", "counter"},
        {"kavelin_command_errors_total", "counter"},
        {"kavelin_command_duration_seconds", "histogram"},
        {"kavelin_image_bytes", "gauge"},
        {"kavelin_memory_limit_bytes", "gauge"},
        {"kavelin_clients_connected", "gauge"},
        {"kavelin_clients_waiting", "gauge"}};
    EXPECT_EQ(e.types, types);
    EXPECT_EQ(e.value("kavelin_frames_total"), 0);
    EXPECT_EQ(e.value("kavelin_output_frames_dropped_total",
                      {{"output", "raw:/tmp/with \"quotes\" and \\"}, {"number", "1"}}),
              0);
    EXPECT_GT(*e.value("kavelin_image_bytes"), 0); // the engine's frames
    EXPECT_EQ(e.value("kavelin_memory_limit_bytes"), MemoryBudget::process().limit());

    clock->step(10);
    commands.record(300us, false);
    commands.record(1ms, true); // on a bound
    commands.record(7s, false); // beyond the last bound
    e = scrape();
    EXPECT_EQ(e.value("kavelin_frames_total"), 10);
    EXPECT_EQ(e.value("kavelin_frames_late_total"), 0);
    EXPECT_EQ(e.value("kavelin_commands_total"), 3);
    EXPECT_EQ(e.value("kavelin_command_errors_total"), 1);
    const std::pair<const char*, double> buckets[] = {
        {"0.0001", 0}, {"0.0005", 1}, {"0.001", 2}, {"0.0025", 2}, {"0.005", 2},
        {"0.01", 2},   {"0.025", 2},  {"0.05", 2},  {"0.1", 2},    {"0.25", 2},
        {"1", 2},      {"5", 2},      {"+Inf", 3}};
    for (const auto& [le, count] : buckets)
        EXPECT_EQ(e.value("kavelin_command_duration_seconds_bucket", {{"le", le}}), count) << le;
    EXPECT_EQ(e.value("kavelin_command_duration_seconds_count"), 3);
    EXPECT_NEAR(*e.value("kavelin_command_duration_seconds_sum"), 7.0013, 1e-9);

    EXPECT_EQ(e.value("kavelin_clients_connected"), 0);
    test::Client client(server.port());
    ASSERT_TRUE(test::waitUntil([&] { return server.clientsConnected() == 1; }));
    e = scrape();
    EXPECT_EQ(e.value("kavelin_clients_connected"), 1);
    EXPECT_EQ(e.value("kavelin_clients_waiting"), 0);
    EXPECT_EQ(httpGet(metrics.port(), "/").status, 404);
}

// 503 with the reason before the first frame and while a late frame is recent; 200 "ok" once
// frames have gone out on time for the late frame's window.
TEST_F(MetricsServiceTest, HealthTurnsUnavailableWhileFramesAreLateAndBack) {
    const auto health = [&] {
        const test::HttpReply reply = httpGet(metrics.port(), "/health");
        return std::to_string(reply.status) + " " + reply.body;
    };
    EXPECT_EQ(health(), "503 no frame handed out yet\n");
    startClock();
    clock->step(10);
    EXPECT_EQ(health(), "200 ok\n");
    clock->setLateness(20ms); // half a period behind
    clock->step(1);
    EXPECT_EQ(scrape().value("kavelin_frames_late_total"), 1);
    const std::string late = health();
    EXPECT_EQ(late.rfind("503 a frame went out 0.02", 0), 0u) << late; // and the time it took

    EXPECT_EQ(std::count(late.begin(), late.end(), '\n'), 1);
    clock->setLateness(0ms);
    clock->step(125); // frames on time up to 4.98 s after the late one: it is still recent
    EXPECT_EQ(health().substr(0, 4), "503 ");
    clock->step(1);
    EXPECT_EQ(health(), "200 ok\n");
}
