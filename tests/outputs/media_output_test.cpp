// The media outputs driven as the engine drives them, through an output sink, with GStreamer
// running: what cannot start says why, a recording is timed by the frame numbers, and a stream
// whose receiver is away is tried again, one log line an attempt, until it comes back.
#include "app/OutputMaker.h"
#include "outputs/media/MediaOutput.h"
#include "outputs/media/MediaPipeline.h"

#include "support/ChildProcess.h"
#include "support/RecordingLog.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

using namespace kavelin;
using test::readFile;
using test::runProgram;

namespace {

constexpr int32_t W = 64, H = 48;

class MediaOutputTest : public ::testing::Test {
protected:
    // Frame `number`: every pixel its own value, alpha included.
    std::shared_ptr<const Frame> frame(int64_t number, std::string* bytes = nullptr) {
        std::shared_ptr<Frame> f = pool.acquire();
        f->number = number;
        auto* pixels = reinterpret_cast<uint32_t*>(f->pixels->pixels());
        for (uint32_t i = 0; i < uint32_t{W} * H; ++i)
            pixels[i] = uint32_t(number) * 0x9E3779B1u ^ i * 0x85EBCA77u;
        if (bytes != nullptr)
            bytes->append(reinterpret_cast<const char*>(pixels), size_t{W} * H * 4);
        return f;
    }
    // Offers the next frame and waits until the output has taken or dropped it.
    void deliver(OutputSink& sink, std::string* bytes = nullptr) {
        const uint64_t count = sink.delivered() + sink.dropped() + 1;
        sink.offer(frame(++number, bytes));
        ASSERT_TRUE(test::waitUntil([&] { return sink.delivered() + sink.dropped() == count; }));
    }
    // Delivers frames until `done` holds; false after 20 s.
    bool deliverUntil(OutputSink& sink, const std::function<bool()>& done) {
        return test::waitUntil(
            [&] {
                deliver(sink);
                return done();
            },
            20000);
    }
    std::unique_ptr<OutputSink> startStream(const std::string& output,
                                            std::chrono::milliseconds retry) {
        Result<MediaPlan> plan = planMediaOutput(output, format);
        EXPECT_TRUE(plan) << output;
        auto sink = std::make_unique<OutputSink>(
            output, std::make_unique<MediaOutput>(output, *plan, format, log, retry));
        EXPECT_TRUE(sink->start());
        return sink;
    }
    std::string probe(const std::string& entries, const std::string& file) {
        return runProgram("ffprobe -v error -of csv=p=0 " + entries + " '" + file + "'").out;
    }

    const Format format = *parseFormat("64x48@25");
    test::TempDir temp{"kavelin-media"};
    test::RecordingLog log;
    FramePool pool{W, H};
    int64_t number = 6;
};

// A UDP port held by a plain socket, so that an SRT listener cannot have it yet.
class HeldPort {
public:
    HeldPort() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~HeldPort() { release(); }
    uint16_t port() const { return port_; }
    void release() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    uint16_t port_ = 0;
};

} // namespace

TEST_F(MediaOutputTest, OutputsThatCannotStartFailToOpenWithGStreamersReason) {
    const std::string unwritable = temp.file("no/dir/a.mkv");
    const std::pair<std::string, std::string> cases[] = {
        {"gst:nosuchelement ! fakesink", "no element \"nosuchelement\""},
        {"gst:x264enc ! fakesink",
         "the pipeline does not take the frames (video/x-raw,format=BGRA,width=64,height=48,"},
        {unwritable,
         "Could not open file \"" + unwritable + "\" for writing. (No such file or directory)"},
    };
    for (const auto& [output, reason] : cases) {
        Result<std::unique_ptr<FrameConsumer>> consumer = makeOutput(output, format, log);
        ASSERT_TRUE(consumer) << output;
        const Status opened = (*consumer)->open();
        ASSERT_FALSE(opened) << output;
        EXPECT_EQ(opened.reason().rfind(reason, 0), 0u) << output << ": " << opened.reason();
    }
    EXPECT_TRUE(log.lines().empty()); // the caller says it, once

    // A FIFO that nobody reads holds up the file's opening for good: the start gives up.
    const std::string fifo = temp.file("nobody-reads.mkv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Result<MediaPlan> plan = planMediaOutput(fifo, format);
    Result<std::unique_ptr<MediaPipeline>> pipeline =
        MediaPipeline::build(plan->pipeline, format, plan->queuedFrames);
    ASSERT_TRUE(pipeline);
    const Status started = (*pipeline)->start(std::chrono::milliseconds(300));
    EXPECT_EQ(started.reason(), "the pipeline did not start within 0.3 s");
    pipeline->reset();
    // A reader that comes lets the abandoned start end, and the pipeline stop.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(test::waitUntil([&] {
        pollfd p{reader, POLLIN, 0}; // a hang-up only once a writer has come and gone
        return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0;
    }));
    ::close(reader);
}

TEST_F(MediaOutputTest, RecordingsAreTimedByFrameNumbersAndKeepEveryByte) {
    const std::string mkv = temp.file("a.mkv");
    std::string bytes;
    {
        Result<std::unique_ptr<FrameConsumer>> consumer = makeOutput(mkv, format, log);
        ASSERT_TRUE(consumer);
        OutputSink sink(mkv, std::move(*consumer));
        ASSERT_TRUE(sink.start());
        deliver(sink, &bytes); // number 7: time 0
        deliver(sink, &bytes);
        ++number; // the clock skipped frame 9
        deliver(sink, &bytes);
        deliver(sink, &bytes);
        sink.stop();
        EXPECT_EQ(sink.dropped(), 0u);
        EXPECT_EQ(sink.consumer().state(), OutputState::Running);
    }
    EXPECT_EQ(probe("-show_entries packet=pts_time", mkv),
              "0.000000\n0.040000\n0.120000\n0.160000\n");
    EXPECT_EQ(probe("-show_entries format=duration", mkv), "0.200000\n");
    const std::string decoded = temp.file("a.raw");
    runProgram("ffmpeg -v error -i '" + mkv +
               "' -fps_mode passthrough -f rawvideo -pix_fmt bgra '" + decoded + "'");
    EXPECT_TRUE(readFile(decoded) == bytes);

    // Interlaced frames reach the encoder as woven fields, the upper one first.
    const Format woven = *parseFormat("64x48@25i");
    const std::string h264 = temp.file("i.mkv");
    {
        const std::string output = "gst:videoconvert ! x264enc ! h264parse ! matroskamux ! "
                                   "filesink location=" +
                                   h264;
        Result<std::unique_ptr<FrameConsumer>> consumer = makeOutput(output, woven, log);
        ASSERT_TRUE(consumer);
        OutputSink sink(output, std::move(*consumer));
        ASSERT_TRUE(sink.start());
        for (int i = 0; i < 3; ++i)
            deliver(sink);
    }
    EXPECT_EQ(probe("-show_entries stream=field_order", h264), "tt\n");
    EXPECT_TRUE(log.lines().empty());
}

// Frames that come while a stream waits for its next attempt are dropped, with no line of their
// own: one line when the receiver is found missing, one for each failed attempt, and one when
// the stream runs again.
TEST_F(MediaOutputTest, AStreamRunsAgainOnceItsReceiverCanBeReached) {
    HeldPort held;
    const std::string listener =
        "srt://127.0.0.1:" + std::to_string(held.port()) + "?mode=listener";
    auto sink = startStream(listener, std::chrono::milliseconds(100));
    EXPECT_EQ(sink->consumer().state(), OutputState::Retrying);
    ASSERT_TRUE(deliverUntil(*sink, [&] { return log.lines().size() >= 2; }));
    EXPECT_EQ(sink->delivered(), 0u); // the frames of failed attempts count as dropped
    held.release();
    ASSERT_TRUE(
        deliverUntil(*sink, [&] { return sink->consumer().state() == OutputState::Running; }));
    const uint64_t before = sink->delivered();
    EXPECT_TRUE(deliverUntil(*sink, [&] { return sink->delivered() > before; }));
    sink->stop();

    const std::vector<std::string> lines = log.lines();
    EXPECT_NE(lines[0].find("; trying again every 0.1 s"), std::string::npos) << lines[0];
    const size_t retries = lines.size() - 1; // the first line, and one per failed retry
    EXPECT_EQ(lines.back(), "Output " + listener + " running again after " +
                                std::to_string(retries) + (retries == 1 ? " retry." : " retries."));
    for (size_t k = 1; k + 1 < lines.size(); ++k)
        EXPECT_EQ(lines[k].rfind("ERROR (" + listener + ") : retry " + std::to_string(k) + ": ", 0),
                  0u)
            << lines[k];
}
