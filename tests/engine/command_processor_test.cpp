#include "engine/CommandProcessor.h"
#include "engine/Event.h"
#include "engine/FrameRequest.h"
#include "engine/Output.h"
#include "image/FrameBuffer.h"
#include "net/Command.h"
#include "output/HeadlessOutput.h"
#include "support/RecordingLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

using namespace kavelin;

namespace {

bool run(CommandProcessor& processor, const std::string& line) {
    Command command(line.c_str(), line.size());
    return processor.execute(command);
}

// An output whose beginFrame can be held up, and which counts the output commands it gets.
class ControlledOutput : public Output {
public:
    ControlledOutput() : Output(720, 576) {}
    bool open() override { return (frame_ = FrameBuffer::create(720, 576)) != nullptr; }
    bool startFrames() override { return true; }
    void setFrameSource(FrameSource* source) override { source_ = source; }
    FrameBuffer* beginFrame() override {
        entered.set();
        release.wait();
        return frame_.get();
    }
    bool endFrame(FrameBuffer*) override { return true; }
    bool executeOutputCommand(Command& command) override {
        lastOutputCommand = command.number();
        return false;
    }

    Event entered;
    Event release{true};
    std::atomic<int> lastOutputCommand{0};

private:
    std::unique_ptr<FrameBuffer> frame_;
    FrameSource* source_ = nullptr;
};

} // namespace

TEST(CommandProcessorTest, NumberZeroIsAnsweredWhileAFrameHoldsTheLock) {
    test::RecordingLog log;
    ControlledOutput output;
    ASSERT_TRUE(output.open());
    CommandProcessor processor;
    ASSERT_TRUE(processor.init(output, nullptr, {}, log));

    output.release.reset();
    std::thread frame([&] {
        FrameRequest request(output);
        processor.onFrame(request);
    });
    ASSERT_TRUE(output.entered.waitFor(std::chrono::seconds(5)));
    EXPECT_TRUE(run(processor, ""));
    EXPECT_TRUE(run(processor, "hello"));
    std::atomic<bool> answered{false};
    std::thread command([&] {
        run(processor, "116");
        answered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(answered); // waits for the frame to finish
    output.release.set();
    frame.join();
    command.join();
    EXPECT_TRUE(answered);
}

TEST(CommandProcessorTest, OutputCommandsNeverReachTheRenderer) {
    test::RecordingLog log;
    ControlledOutput output;
    ASSERT_TRUE(output.open());
    CommandProcessor processor;
    ASSERT_TRUE(processor.init(output, nullptr, {}, log));
    EXPECT_FALSE(run(processor, "1000 1 2"));
    EXPECT_EQ(output.lastOutputCommand, 1000);
    EXPECT_FALSE(run(processor, "99999 1"));
    EXPECT_EQ(output.lastOutputCommand, 99999);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_FALSE(run(processor, "-5"));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Unsupported command (-5)"});
}

// Commands and frame ticks at once, for the thread sanitizer: a fast frame clock while another
// thread creates, animates and releases layers.
TEST(CommandProcessorTest, CommandsAndFramesInterleaveSafely) {
    test::RecordingLog log;
    HeadlessOutput output(720, 576, 500);
    ASSERT_TRUE(output.open());
    CommandProcessor processor;
    ASSERT_TRUE(processor.init(output, nullptr, {}, log));
    for (int round = 0; round < 40; ++round) {
        ASSERT_TRUE(run(processor, "116"));
        ASSERT_TRUE(run(processor, "121 0"));
        ASSERT_TRUE(run(processor, "62 0 64 64"));
        ASSERT_TRUE(run(processor, "79 0 0 1 1 0 3 0"));
        ASSERT_TRUE(run(processor, "80 0"));
        ASSERT_TRUE(run(processor, "75 0"));
        ASSERT_TRUE(run(processor, "88 0 0 2"));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(run(processor, "117 0"));
    }
    output.stopFrames();
}
