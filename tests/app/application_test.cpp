// The application's worker without windows: start-up, serving, shutdown and the ways the
// start-up fails, with outputs made by the test.
#include "app/Application.h"
#include "engine/OutputSink.h"
#include "net/CommandServer.h"
#include "support/ChildProcess.h"
#include "support/RecordingLog.h"
#include "support/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace kavelin;
using test::RecordingLog;
using Lines = std::vector<std::string>;

namespace {

struct Counts {
    std::atomic<int> frames{0}, finished{0}, destroyed{0};
};

// Counts what it is given; with a refusal it does not open.
class TestOutput : public FrameConsumer {
public:
    TestOutput(Counts& counts, std::string refusal) : counts(counts), refusal(refusal) {}
    ~TestOutput() override { ++counts.destroyed; }
    Status open() override { return refusal.empty() ? done() : failure(refusal); }
    bool consume(const Frame&, const std::atomic<bool>&) override { return ++counts.frames > 0; }
    void finish() override { ++counts.finished; }
    Counts& counts;
    const std::string refusal;
};

// Output "test" starts, "closed" does not open, anything else is unknown.
Application makeApp(uint16_t port, Lines outputs, RecordingLog& log, Counts& counts) {
    Application::Settings settings;
    settings.port = port;
    settings.listenAddress = "127.0.0.1";
    settings.outputs = std::move(outputs);
    return Application(settings, log, [&counts](const std::string& output) {
        using Made = Result<std::unique_ptr<FrameConsumer>>;
        if (output == "test" || output == "closed")
            return Made(
                std::make_unique<TestOutput>(counts, output == "closed" ? "no screen" : ""));
        return Made(failure("unknown output '" + output + "'"));
    });
}

} // namespace

// Worker, server, engine and outputs together: commands while frames go out, then shutdown.
TEST(ApplicationTest, ServesWhileFramesGoOutAndShutsDownInOrder) {
    const uint16_t port = test::freePort();
    RecordingLog log;
    Counts counts;
    {
        Application app = makeApp(port, {"test", "test"}, log, counts);
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(test::waitUntil([&] { return log.lines().size() == 2; }));
        test::Client client(port);
        ASSERT_TRUE(client.send("116\n121 0\n62 0 32 32\n75 0\n1000\n"));
        for (const char* reply : {"OK 0\n", "OK 0\n", "OK\n", "OK\n", "ERROR\n"})
            EXPECT_EQ(client.readLine(), reply);
        EXPECT_TRUE(test::waitUntil([&] { return counts.frames >= 4; })); // two outputs, two frames
        app.stop(); // the client is still connected: it is cut off without a line
        app.wait();
        EXPECT_EQ(app.failure(), Application::Failure::None);
        EXPECT_TRUE(counts.finished == 2 && counts.destroyed == 2);
    }
    EXPECT_EQ(log.lines(), (Lines{"Kavelin 4.0 initializing...", "Ready.",
                                  "Layer 0 initialized to 32 x 32", "Layer 0 set visible."}));
    EXPECT_EQ(
        log.diagnostics(),
        (Lines{"Server initializing...\n", "Connection established to 127.0.0.1\n",
               "(HeadlessOutput) Unsupported command (1000)\n", "Server shutting down...\n"}));
}

TEST(ApplicationTest, FailedStartUpsSayWhyAndReleaseTheOutputs) {
    RecordingLog takerLog;
    CommandServer taker(takerLog, 0, "127.0.0.1"); // holds a port
    ASSERT_TRUE(taker.start());
    const std::string init = "Kavelin 4.0 initializing...", error = "Error occured.\n";
    const std::string noOutput = "Unable to initialize output!";
    using Failure = Application::Failure;
    struct Case {
        Lines outputs;
        bool takenPort;
        Failure failure;
        Lines lines;
        int made; // outputs made, all of which must be gone after the failure
    } cases[] = {
        {{"test"}, true, Failure::CommandSource, {init, "Unable to initialize command source!"}, 1},
        {{"test", "raw:"},
         false,
         Failure::Output,
         {init, "ERROR (raw:) : unknown output 'raw:'"},
         1},
        {{"test", "closed"}, false, Failure::Output, {init, "ERROR (closed) : no screen"}, 2},
    };
    for (const Case& c : cases) {
        RecordingLog log;
        Counts counts;
        {
            Application app =
                makeApp(c.takenPort ? taker.port() : test::freePort(), c.outputs, log, counts);
            ASSERT_TRUE(app.start());
            app.wait();
            EXPECT_EQ(app.failure(), c.failure);
            Lines lines = c.lines;
            if (c.failure == Failure::Output)
                lines.push_back(noOutput);
            lines.push_back(error);
            EXPECT_EQ(log.lines(), lines);
        }
        EXPECT_EQ(counts.destroyed, c.made);
    }
}
