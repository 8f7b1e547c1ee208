// The real server with media and raw outputs: recordings ended by SIGTERM decode to the composed
// frames, a stream reaches a receiver on loopback, and neither a FIFO whose reader stops nor
// streams whose receivers are away hold up another output or the frame rate.
#include "support/FifoReader.h"
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono_literals;
using namespace kavelin::test;
using Clock = std::chrono::steady_clock;

namespace {

// A 720 x 8 window at the top left crawling left by one pixel a frame over a 4096 x 8 picture
// whose column c is coloured (c % 256, c / 256, 0x55): the picture is written to `tga`, and the
// command lines that show it are returned.
std::vector<std::string> crawlScene(const std::string& tga) {
    std::vector<uint32_t> crawl(4096 * 8);
    for (size_t i = 0; i < crawl.size(); ++i)
        crawl[i] = 0xFF000055u | uint32_t(i % 4096) % 256 << 16 | uint32_t(i % 4096) / 256 << 8;
    if (!writeTga(tga, 4096, 8, crawl))
        return {};
    return {"116",  "121 0", "63 0 " + tga, "67 0 720 8", "78 0 0 255", "79 0 0 0 2 1 1 0",
            "80 0", "75 0"};
}

// A frame as a FIFO's reader got it: when, the crawl's offset read from its first pixel, and a
// hash of its bytes.
struct ReceivedFrame {
    Clock::time_point at;
    int index; // -1 before the crawl
    size_t hash;
};

// Reads whole frames of `frameBytes` from a FIFO on a thread of its own, unless told to pause.
// Pixel 0 is B, G, R, A: the crawl's offset is read from it.
class FrameCollector {
public:
    FrameCollector(const std::string& path, size_t frameBytes)
        : frameBytes_(frameBytes), reader_(path), thread_([this] { run(); }) {}
    ~FrameCollector() {
        done_ = true;
        thread_.join();
    }
    std::atomic<bool> paused{false};

    std::vector<ReceivedFrame> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    bool waitForFrames(size_t count) const {
        return waitUntil([&] { return frames().size() >= count; });
    }

private:
    void run() {
        std::string frame;
        while (!done_ && !reader_.ended()) {
            if (paused || !reader_.fill(frame, frameBytes_, 100)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            const auto* p = reinterpret_cast<const unsigned char*>(frame.data());
            const int index = p[0] == 0x55 ? p[2] + 256 * p[1] : -1;
            std::lock_guard lock(mutex_);
            frames_.push_back({Clock::now(), index, std::hash<std::string>{}(frame)});
            frame.clear();
        }
    }

    const size_t frameBytes_;
    FifoReader reader_;
    std::atomic<bool> done_{false};
    mutable std::mutex mutex_;
    std::vector<ReceivedFrame> frames_;
    std::thread thread_;
};

constexpr int kWidth = 720, kHeight = 576;
constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 4;

class MediaOutputsTest : public ::testing::Test {
protected:
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& outputs) {
        std::vector<std::string> options;
        for (const std::string& output : outputs)
            options.insert(options.end(), {"--output", output});
        auto server = startHeadless(port, options, temp.file("log.txt"));
        EXPECT_TRUE(becameReady(temp.file("log.txt"))) << log();
        return server;
    }
    std::string log() const { return readFile(temp.file("log.txt")); }
    void send(const std::vector<std::string>& lines) {
        Client client(port);
        for (const std::string& line : lines) {
            ASSERT_TRUE(client.send(line + "\n"));
            EXPECT_EQ(client.readLine().substr(0, 2), "OK") << line;
        }
    }
    std::string probe(const std::string& entries, const std::string& file) {
        return runProgram("ffprobe -v error -of csv=p=0 " + entries + " '" + file + "'").out;
    }
    // Every frame of a file as B, G, R, A bytes, one after the other as they were stored.
    std::string decode(const std::string& file) {
        const std::string raw = file + ".raw";
        runProgram("ffmpeg -v error -i '" + file + "' -fps_mode passthrough -f rawvideo " +
                   "-pix_fmt bgra '" + raw + "'");
        return readFile(raw);
    }

    TempDir temp{"kavelin-media-e2e"};
    const uint16_t port = freePort();
};

// Lines with `part` in a log.
std::vector<std::string> linesWith(const std::string& log, const std::string& part) {
    std::vector<std::string> found;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

} // namespace

// Recordings ended by SIGTERM decode to the composed frames, alpha included, and a stream
// listening meanwhile is received on loopback.
TEST_F(MediaOutputsTest, RecordingsEndedBySigtermDecodeToTheComposedFramesAndAStreamIsReceived) {
    // A picture whose alpha runs from 0 to 252, copied into the frame as it is, under a veil
    // blended at 200.
    std::vector<uint32_t> ramp(64 * 32), veil(48 * 24, 0x80336699u);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = uint32_t(i % 64 * 4) << 24 | uint32_t(i * 0x010305u & 0xFFFFFF);
    ASSERT_TRUE(writeTga(temp.file("ramp.tga"), 64, 32, ramp) &&
                writeTga(temp.file("veil.tga"), 48, 24, veil));
    const std::vector<std::string> scene = {
        "116",  "121 0", "63 0 " + temp.file("ramp.tga"), "66 0 100 50", "78 0 0 255",
        "75 0", "121 0", "63 1 " + temp.file("veil.tga"), "66 1 120 60", "78 1 1 200",
        "75 1"};
    std::string script;
    for (const std::string& line : scene)
        script += line + "\n";
    std::ofstream(temp.file("scene.txt")) << script << "@wait 1\n";
    ASSERT_EQ(runProgram(std::string("'") + KAVELIN_BINARY + "' render --raw '" +
                         temp.file("frame.raw") + "' '" + temp.file("scene.txt") +
                         "' >/dev/null 2>&1")
                  .exitCode,
              0);
    const std::string composed = readFile(temp.file("frame.raw"));
    ASSERT_EQ(composed.size(), kFrameBytes);

    const std::string fifo = temp.file("frames.raw"), mkv = temp.file("a.mkv"),
                      mov = temp.file("a.mov");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FrameCollector frames(fifo, kFrameBytes);
    const std::string srt = "srt://127.0.0.1:" + std::to_string(freePort());
    auto server = start({"raw:" + fifo, mkv, mov, srt + "?mode=listener&bitrate=2M"});
    send(scene);
    // The raw output shows when the scene has been on air for a few frames.
    const size_t composedHash = std::hash<std::string>{}(composed);
    ASSERT_TRUE(waitUntil([&] {
        size_t shown = 0;
        for (const ReceivedFrame& frame : frames.frames())
            shown += frame.hash == composedHash;
        return shown >= 5;
    }));
    // Decoded to frames of the format's size (videoconvert does not scale), 25 of them.
    const std::string received = temp.file("received.raw");
    const ProgramResult receiver = runProgram(
        "timeout 30 gst-launch-1.0 -q srtsrc uri=" + srt +
        "?mode=caller ! tsdemux ! h264parse ! avdec_h264 ! videoconvert ! "
        "video/x-raw,format=BGRA,width=720,height=576 ! identity eos-after=25 ! filesink "
        "location=" +
        received + " 2>&1");
    EXPECT_EQ(receiver.exitCode, 0) << receiver.out;
    EXPECT_EQ(readFile(received).size(), 25 * kFrameBytes);
    server->signal(SIGTERM);
    ASSERT_EQ(server->wait(15000), 0) << log();
    EXPECT_EQ(linesWith(log(), "ERROR").size(), 0u) << log();

    // Both files ended with a duration in their headers; that FFV1 keeps every byte is the
    // recording's own test.
    EXPECT_GT(std::atof(probe("-show_entries format=duration", mkv).c_str()), 0.1);

    // ProRes 4444 with its alpha plane (this system's decoder gives 4444 at 12 bits), BT.601
    // in the container for standard definition.
    EXPECT_EQ(probe("-show_entries stream=codec_name,profile", mov), "prores,4444\n");
    EXPECT_EQ(probe("-show_entries stream=pix_fmt", mov).rfind("yuva444p1", 0), 0u);
    EXPECT_GT(std::atof(probe("-show_entries format=duration", mov).c_str()), 0.1);
    const std::string movBytes = readFile(mov);
    const size_t colr = movBytes.find("colrnclc");
    ASSERT_NE(colr, std::string::npos);
    EXPECT_EQ(movBytes.substr(colr + 12, 2), std::string("\0\6", 2)); // the matrix
    const std::string movFrames = decode(mov);
    ASSERT_GE(movFrames.size(), kFrameBytes);
    const std::string last = movFrames.substr(movFrames.size() - kFrameBytes);
    int worstAlpha = 0;
    for (size_t i = 3; i < kFrameBytes; i += 4)
        worstAlpha = std::max(worstAlpha, std::abs(int(uint8_t(last[i])) - uint8_t(composed[i])));
    EXPECT_LE(worstAlpha, 1);
}

// While one FIFO's reader stops reading and two streams find nobody to receive them (the SRT
// caller after its connection timeout, the RTMP one at once), the other FIFO gets every frame on
// time, and both get the same bytes.
TEST_F(MediaOutputsTest, AStalledReaderAndAbsentReceiversHoldUpNeitherTheOtherFifoNorTheRate) {
    const std::string fifos[2] = {temp.file("a.raw"), temp.file("b.raw")};
    ASSERT_TRUE(::mkfifo(fifos[0].c_str(), 0600) == 0 && ::mkfifo(fifos[1].c_str(), 0600) == 0);
    const std::vector<std::string> crawl = crawlScene(temp.file("crawl.tga"));
    ASSERT_FALSE(crawl.empty());
    FrameCollector a(fifos[0], kFrameBytes), b(fifos[1], kFrameBytes);
    const std::string srt = "srt://127.0.0.1:" + std::to_string(freePort());
    const std::string rtmp = "rtmp://127.0.0.1:" + std::to_string(freePort()) + "/live/key";
    auto server = start({"raw:" + fifos[0], "raw:" + fifos[1], srt, rtmp});
    send(crawl);
    ASSERT_TRUE(a.waitForFrames(25) && b.waitForFrames(25));

    b.paused = true;
    const Clock::time_point from = Clock::now();
    ASSERT_TRUE(waitUntil(
        [&] {
            return log().find("ERROR (" + srt + ") : ") != std::string::npos &&
                   log().find("ERROR (" + rtmp + ") : retry 1: ") != std::string::npos &&
                   Clock::now() - from > 3s;
        },
        20000))
        << log();
    const Clock::time_point to = Clock::now();
    b.paused = false;
    const size_t beforeResume = b.frames().size();
    ASSERT_TRUE(b.waitForFrames(beforeResume + 20));
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(15000), 0);

    // Meanwhile a lost no more than one frame in a row: no gap over 80 ms of picture time (a
    // crawl step is a 40 ms frame). On the wall clock it kept the format's rate; the bounds
    // there leave room for a busy machine's scheduling.
    const std::vector<ReceivedFrame> framesA = a.frames(), framesB = b.frames();
    Clock::time_point last = from;
    int during = 0;
    for (size_t i = 1; i < framesA.size(); ++i)
        if (framesA[i].at > from && framesA[i].at <= to) {
            EXPECT_LE(framesA[i].index - framesA[i - 1].index, 2) << "at " << framesA[i].index;
            EXPECT_LT(framesA[i].at - std::exchange(last, framesA[i].at), 400ms);
            ++during;
        }
    EXPECT_LT(to - last, 400ms);
    const double seconds = std::chrono::duration<double>(to - from).count();
    EXPECT_TRUE(during >= 20 * seconds && during <= 25 * seconds + 5) << during;

    // Whole frames, in order, and the same bytes on both outputs.
    std::map<int, size_t> hashesA; // by crawl offset
    size_t matched = 0, matchedAfterResume = 0;
    for (const std::vector<ReceivedFrame>* frames : {&framesA, &framesB}) {
        for (size_t i = 0; i < frames->size(); ++i) {
            const int index = (*frames)[i].index, previous = i > 0 ? (*frames)[i - 1].index : -1;
            ASSERT_TRUE(index > previous || (index < 0 && previous < 0)) << index << " " << i;
            const size_t hash = (*frames)[i].hash;
            if (frames == &framesA) {
                hashesA[index] = hash;
            } else if (const auto found = hashesA.find(index);
                       index >= 0 && found != hashesA.end()) {
                EXPECT_EQ(hash, found->second) << "crawl offset " << index;
                ++matched;
                matchedAfterResume += i >= beforeResume ? 1 : 0;
            }
        }
    }
    EXPECT_GE(matched, 25u);
    EXPECT_GE(matchedAfterResume, 12u);

    // One line when a receiver is found missing, then one for each attempt, not one a frame.
    const std::vector<std::string> rtmpLines = linesWith(log(), "ERROR (" + rtmp + ")");
    ASSERT_GE(rtmpLines.size(), 2u);
    EXPECT_NE(rtmpLines[0].find("Connection refused"), std::string::npos) << rtmpLines[0];
    EXPECT_NE(rtmpLines[0].find("; trying again every 3 s"), std::string::npos) << rtmpLines[0];
    EXPECT_LE(double(rtmpLines.size()), seconds / 3 + 3);
}
