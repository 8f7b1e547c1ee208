#include "engine/LogChannel.h"
#include "engine/StreamLogWriter.h"
#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace kavelin;

namespace {

// Keeps what it is given; while `blocked`, waits inside write.
class GateWriter : public LogWriter {
public:
    void write(std::span<const LogLine> lines) override {
        inside = true;
        while (blocked)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        inside = false;
        std::lock_guard lock(mutex_);
        for (const LogLine& line : lines)
            lines_.push_back(line.text);
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool waitInside() {
        return test::waitUntil([this] { return inside.load(); });
    }
    std::atomic<bool> blocked{false}, inside{false};

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace

TEST(LogChannelTest, ABlockedWriterNeverHoldsUpPostingAndLostLinesAreReported) {
    LogChannel channel(4);
    auto writer = std::make_shared<GateWriter>();
    channel.addWriter(writer);
    writer->blocked = true;
    channel.log("first %d", 1);
    ASSERT_TRUE(writer->waitInside());
    EXPECT_FALSE(channel.flush(std::chrono::milliseconds(20))); // the first line is not out yet
    for (int i = 2; i <= 9; ++i)
        channel.log("line %d", i); // returns at once; four fit, four are lost
    EXPECT_EQ(channel.dropped(), 4u);
    writer->blocked = false;
    ASSERT_TRUE(channel.flush());
    EXPECT_EQ(writer->lines(), (std::vector<std::string>{"first 1", "line 2", "line 3", "line 4",
                                                         "line 5", "WARNING : 4 log lines lost."}));
}

// A writer that runs out of memory loses its lines, which are counted and reported like lines
// lost to a full queue.
TEST(LogChannelTest, LinesAWriterHasNoMemoryForAreCountedAsLost) {
    struct StarvedOnce : GateWriter {
        void write(std::span<const LogLine> lines) override {
            if (starved.exchange(false))
                throw std::bad_alloc();
            GateWriter::write(lines);
        }
        std::atomic<bool> starved{true};
    };
    LogChannel channel;
    auto writer = std::make_shared<StarvedOnce>();
    channel.addWriter(writer);
    channel.log("lost");
    ASSERT_TRUE(channel.flush());
    EXPECT_EQ(channel.dropped(), 1u);
    channel.log("kept");
    ASSERT_TRUE(channel.flush());
    EXPECT_EQ(writer->lines(), (std::vector<std::string>{"kept", "WARNING : 1 log lines lost."}));
}

TEST(LogChannelTest, ARemovedWriterIsNotWrittenToOnceRemovalReturns) {
    LogChannel channel;
    auto writer = std::make_shared<GateWriter>();
    channel.addWriter(writer);
    writer->blocked = true;
    channel.log("held");
    ASSERT_TRUE(writer->waitInside());
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        channel.removeWriter(writer.get());
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(removed); // waits for the line being written
    writer->blocked = false;
    remover.join();
    channel.log("after");
    ASSERT_TRUE(channel.flush());
    EXPECT_EQ(writer->lines(), std::vector<std::string>{"held"});
}

TEST(LogChannelTest, StreamWriterWritesLinesAndDiagnosticsAndGivesUpOnAFullPipe) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    auto channel = std::make_unique<LogChannel>();
    channel->addWriter(std::make_shared<StreamLogWriter>(fds[1]));
    channel->addWriter(
        std::make_shared<StreamLogWriter>(fds[1], StreamLogWriter::Lines::DiagnosticsOnly));
    channel->log("Ready.");
    channel->diagnostic("Server initializing...\n");
    ASSERT_TRUE(channel->flush());
    char buffer[128] = {};
    ASSERT_EQ(::read(fds[0], buffer, sizeof buffer), 53);
    EXPECT_STREQ(buffer, "Ready.\nServer initializing...\nServer initializing...\n");
    // Nobody reads any more: the pipe fills, and the log still closes within its grace time.
    for (int i = 0; i < 64; ++i)
        channel->log("%s", std::string(8192, 'x').c_str());
    const auto start = std::chrono::steady_clock::now();
    channel.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ::close(fds[0]), ::close(fds[1]);
}
