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

// Worker, server, engine and outputs together: an output that cannot start is named and the
// others run; commands, outputs started and stopped while frames go out; then shutdown.
TEST(ApplicationTest, ServesWhileFramesGoOutAndShutsDownInOrder) {
    const uint16_t port = test::freePort();
    RecordingLog log;
    Counts counts;
    {
        Application app = makeApp(port, {"test", "closed", "test"}, log, counts);
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(test::waitUntil([&] { return log.lines().size() == 3; }));
        test::Client client(port);
        ASSERT_TRUE(client.send("116\n121 0\n62 0 32 32\n75 0\n1003\n1000 test\n1000 closed\n"
                                "1000 window\n1002\n1001 3\n1001 3\n1001 0\n1001\n1002\n"));
        for (const char* reply :
             {"OK 0\n", "OK 0\n", "OK\n", "OK\n", "ERROR\n", "OK 3\n", "ERROR\n", "ERROR\n",
              "OK 3\n", "OK\n", "ERROR\n", "ERROR\n", "ERROR\n", "OK 2\n"})
            EXPECT_EQ(client.readLine(), reply);
        EXPECT_EQ(counts.finished, 1); // the removed one, before its reply
        EXPECT_TRUE(test::waitUntil([&] { return counts.frames >= 4; })); // two outputs, two frames
        EXPECT_EQ(app.outputs().size(), 2u);
        app.stop(); // the client is still connected: it is cut off without a line
        app.wait();
        EXPECT_EQ(app.failure(), Application::Failure::None);
        EXPECT_TRUE(counts.finished == 3 && counts.destroyed == 5);
        EXPECT_TRUE(app.outputs().empty());
    }
    Lines lines = log.lines();
    for (std::string& line : lines) // the frames dropped depend on timing
        if (const size_t at = line.find(", running, "); at != std::string::npos)
            line.resize(at + std::string(", running").size());
    EXPECT_EQ(lines,
              (Lines{"Kavelin 4.0 initializing...", "ERROR (closed) : no screen", "Ready.",
                     "Layer 0 initialized to 32 x 32", "Layer 0 set visible.",
                     "Output 3 started: test", "ERROR (closed) : no screen",
                     "ERROR (window) : the window is shown and hidden with the control dialog",
                     "Output 1: test, running", "Output 2: test, running",
                     "Output 3: test, running", "Output 3 stopped: test", "ERROR : No output 3.",
                     "ERROR : No output 0.", "ERROR : Missing arguments for command 1001.",
                     "Output 1: test, running", "Output 2: test, running"}));
    EXPECT_EQ(
        log.diagnostics(),
        (Lines{"Server initializing...\n", "Connection established to 127.0.0.1\n",
               "(HeadlessOutput) Unsupported command (1003)\n", "Server shutting down...\n"}));
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
        // Only when no output at all starts.
        {{"raw:", "closed"},
         false,
         Failure::Output,
         {init, "ERROR (raw:) : unknown output 'raw:'", "ERROR (closed) : no screen"},
         1},
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
