// The raw output driven as the engine drives it, through an output sink: a file gets every
// frame, a FIFO only whole frames and only while someone reads it.
#include "outputs/RawOutput.h"

#include "support/ChildProcess.h"
#include "support/FifoReader.h"
#include "support/RecordingLog.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace std::chrono_literals;
using namespace kavelin;
using test::FifoReader;

namespace {

// Larger than a pipe holds, so a FIFO always takes a frame in several writes.
constexpr int32_t W = 1024, H = 512;
constexpr size_t kFrameBytes = size_t{W} * H * 4;

class RawOutputTest : public ::testing::Test {
protected:
    void SetUp() override { std::signal(SIGPIPE, SIG_IGN); } // as the program does

    std::unique_ptr<OutputSink> startSink(const std::string& path) {
        auto sink =
            std::make_unique<OutputSink>("raw:" + path, std::make_unique<RawOutput>(path, log));
        EXPECT_TRUE(sink->start());
        return sink;
    }
    // Frame k: every pixel its own value, as the B, G, R, A bytes the stream must carry.
    std::shared_ptr<const Frame> frame(uint32_t k, std::string* expected = nullptr) {
        std::shared_ptr<Frame> f = pool.acquire();
        auto* pixels = reinterpret_cast<uint32_t*>(f->pixels->pixels());
        for (uint32_t i = 0; i < uint32_t{W} * H; ++i) {
            const uint32_t argb = (k + 1) * 0x9E3779B1u ^ i * 0x85EBCA77u;
            pixels[i] = argb;
            if (expected != nullptr)
                *expected += {char(argb), char(argb >> 8), char(argb >> 16), char(argb >> 24)};
        }
        return f;
    }
    // Waits until the output has written or dropped `count` frames in all.
    static void waitHandled(const OutputSink& sink, uint64_t count) {
        ASSERT_TRUE(test::waitUntil([&] { return sink.delivered() + sink.dropped() == count; }));
    }
    // Offers a frame and waits until the output has written or dropped it.
    static void deliver(OutputSink& sink, std::shared_ptr<const Frame> f) {
        const uint64_t count = sink.delivered() + sink.dropped() + 1;
        sink.offer(std::move(f));
        waitHandled(sink, count);
    }

    test::TempDir temp{"kavelin-raw"};
    test::RecordingLog log;
    FramePool pool{W, H};
};

} // namespace

TEST_F(RawOutputTest, FileIsReplacedAndHoldsEveryFrame) {
    const std::string path = temp.file("frames.raw");
    std::ofstream(path) << std::string(4 * kFrameBytes, 'x'); // longer than what follows
    auto sink = startSink(path);
    std::string expected;
    for (uint32_t k = 0; k < 3; ++k)
        deliver(*sink, frame(k, &expected));
    sink->stop();
    EXPECT_TRUE(test::readFile(path) == expected);
    EXPECT_EQ(sink->dropped(), 0u);
    EXPECT_TRUE(log.lines().empty());

    OutputSink unwritable("raw", std::make_unique<RawOutput>(temp.file("no/dir/f.raw"), log));
    const Status started = unwritable.start();
    ASSERT_FALSE(started);
    EXPECT_EQ(started.reason(),
              "cannot write " + temp.file("no/dir/f.raw") + ": No such file or directory");
}

TEST_F(RawOutputTest, ReadersThatComeLaterOrComeBackGetWholeFramesInOrder) {
    const std::string path = temp.file("stream");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    auto sink = startSink(path);
    deliver(*sink, frame(0)); // nobody reads yet
    std::string wanted, got;
    auto reader = std::make_unique<FifoReader>(path);
    for (uint32_t k = 1; k <= 2; ++k) {
        sink->offer(frame(k, &wanted));
        ASSERT_TRUE(reader->fill(got, wanted.size(), 5000));
    }
    EXPECT_TRUE(got == wanted);
    waitHandled(*sink, 3);
    EXPECT_EQ(sink->delivered(), 2u);

    // The reader leaves in the middle of a frame: that frame is dropped, and the writer lets
    // go of the FIFO before anyone else opens it.
    sink->offer(frame(3));
    std::string part;
    ASSERT_TRUE(reader->fill(part, kFrameBytes / 4, 5000));
    reader.reset();
    waitHandled(*sink, 4);
    ASSERT_EQ(sink->dropped(), 2u);

    reader = std::make_unique<FifoReader>(path);
    wanted.clear();
    got.clear();
    for (uint32_t k = 4; k <= 5; ++k) {
        sink->offer(frame(k, &wanted));
        ASSERT_TRUE(reader->fill(got, wanted.size(), 5000));
    }
    EXPECT_TRUE(got == wanted);
    waitHandled(*sink, 6);
    EXPECT_EQ(sink->delivered(), 4u);
    // The reader stops reading: the writer waits for room, and a stop ends the wait at once.
    sink->offer(frame(6));
    sink->offer(frame(7));
    std::this_thread::sleep_for(50ms);
    const auto before = std::chrono::steady_clock::now();
    sink->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_FALSE(reader->fill(got, wanted.size() + 2 * kFrameBytes, 5000)); // the stream ended
    EXPECT_TRUE(reader->ended());
}
