// The real server with media outputs: recordings ended by SIGTERM decode to the composed frames,
// a stream reaches a receiver on loopback, and streams whose receivers are away hold up neither
// a raw output beside them nor the frame rate.
#include "support/FrameCollector.h"
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

using namespace std::chrono_literals;
using namespace kavelin::test;

namespace {

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

TEST_F(MediaOutputsTest, RecordingsEndedBySigtermDecodeToTheComposedFramesAlphaIncluded) {
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
    size_t translucent = 0;
    for (size_t i = 3; i < composed.size(); i += 4)
        translucent += composed[i] != 0 && composed[i] != char(0xFF);
    ASSERT_GT(translucent, 1000u);

    const std::string fifo = temp.file("frames.raw"), mkv = temp.file("a.mkv"),
                      mov = temp.file("a.mov"), avi = temp.file("g.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FrameCollector frames(fifo, kFrameBytes);
    auto server = start({"raw:" + fifo, mkv, mov,
                         "gst:videoconvert ! jpegenc ! avimux ! filesink location=" + avi});
    send(scene);
    // The raw output shows when the scene has been on air for a few frames.
    const size_t composedHash = std::hash<std::string>{}(composed);
    ASSERT_TRUE(waitUntil([&] {
        size_t shown = 0;
        for (const ReceivedFrame& frame : frames.frames())
            shown += frame.hash == composedHash;
        return shown >= 5;
    }));
    server->signal(SIGTERM);
    ASSERT_EQ(server->wait(15000), 0) << log();
    EXPECT_EQ(linesWith(log(), "ERROR").size(), 0u) << log();

    // FFV1: the composed bytes exactly, and a duration in the header.
    const std::string mkvFrames = decode(mkv);
    ASSERT_GE(mkvFrames.size(), kFrameBytes); // a loaded machine may drop some
    ASSERT_EQ(mkvFrames.size() % kFrameBytes, 0u);
    EXPECT_TRUE(mkvFrames.substr(mkvFrames.size() - kFrameBytes) == composed);
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

    // The pipeline of the user's wrote its file, and finished it.
    EXPECT_EQ(probe("-show_entries stream=codec_name,width,height", avi), "mjpeg,720,576\n");
}

TEST_F(MediaOutputsTest, AnSrtListenerIsReceivedOnLoopback) {
    const std::string address = "srt://127.0.0.1:" + std::to_string(freePort());
    auto server = start({address + "?mode=listener&bitrate=2M"});
    const std::string received = temp.file("received.raw");
    // Decoded to frames of the format's size (videoconvert does not scale), 25 of them.
    const ProgramResult receiver = runProgram(
        "timeout 30 gst-launch-1.0 -q srtsrc uri=" + address +
        "?mode=caller ! tsdemux ! h264parse ! avdec_h264 ! videoconvert ! "
        "video/x-raw,format=BGRA,width=720,height=576 ! identity eos-after=25 ! filesink "
        "location=" +
        received + " 2>&1");
    EXPECT_EQ(receiver.exitCode, 0) << receiver.out;
    EXPECT_EQ(readFile(received).size(), 25 * kFrameBytes);
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(15000), 0);
}

TEST_F(MediaOutputsTest, StreamsWithoutReceiversHoldUpNeitherARawOutputNorTheRate) {
    const std::string fifo = temp.file("frames.raw");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> crawl = crawlScene(temp.file("crawl.tga"));
    ASSERT_FALSE(crawl.empty());
    FrameCollector frames(fifo, kFrameBytes);
    // Nobody listens: the SRT caller finds out after its connection timeout, the RTMP one at
    // once.
    const std::string srt = "srt://127.0.0.1:" + std::to_string(freePort());
    const std::string rtmp = "rtmp://127.0.0.1:" + std::to_string(freePort()) + "/live/key";
    auto server = start({"raw:" + fifo, srt, rtmp});
    send(crawl);
    ASSERT_TRUE(frames.waitForFrames(10));
    const auto from = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitUntil(
        [&] {
            return log().find("ERROR (" + srt + ") : ") != std::string::npos &&
                   log().find("ERROR (" + rtmp + ") : retry 1: ") != std::string::npos;
        },
        20000))
        << log();
    const auto to = std::chrono::steady_clock::now();
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(15000), 0);

    // Meanwhile the raw output lost no more than one frame in a row (no gap over 80 ms of
    // picture time), and on the wall clock it kept going; the bound there leaves room for a
    // busy machine's scheduling.
    const std::vector<ReceivedFrame> got = frames.frames();
    size_t during = 0;
    for (size_t i = 1; i < got.size(); ++i)
        if (got[i].at > from && got[i].at <= to && got[i - 1].index >= 0) {
            EXPECT_LE(got[i].index - got[i - 1].index, 2) << "at " << got[i].index;
            EXPECT_LT(got[i].at - got[i - 1].at, 400ms);
            ++during;
        }
    EXPECT_GE(during, 25u);

    // One line when the receiver is found missing, then one for each attempt (numbered as
    // tests/outputs/media_output_test.cpp checks), not one a frame.
    const std::vector<std::string> rtmpLines = linesWith(log(), "ERROR (" + rtmp + ")");
    ASSERT_GE(rtmpLines.size(), 2u);
    EXPECT_NE(rtmpLines[0].find("Connection refused"), std::string::npos) << rtmpLines[0];
    EXPECT_NE(rtmpLines[0].find("; trying again every 3 s"), std::string::npos) << rtmpLines[0];
    const double seconds = std::chrono::duration<double>(to - from).count();
    EXPECT_LE(double(rtmpLines.size()), seconds / 3 + 3);
    EXPECT_LE(linesWith(log(), "ERROR (" + srt + ")").size(), 2u);
}

// Outputs started and stopped over TCP while the server runs: the recording is complete when
// 1001 is answered, an output that cannot start is refused, 1002 counts what runs, and the
// server goes on without a restart.
TEST_F(MediaOutputsTest, RecordingsStartAndStopByCommandWhileTheServerRuns) {
    std::vector<uint32_t> white(32 * 16, 0xFFFFFFFFu);
    ASSERT_TRUE(writeTga(temp.file("white.tga"), 32, 16, white));
    auto server = start({});
    const std::string mkv = temp.file("c.mkv");
    Client client(port);
    client.setReplyTimeout(30); // the first media output loads GStreamer's plugins
    const auto ask = [&](const std::string& line) {
        EXPECT_TRUE(client.send(line + "\n"));
        return client.readLine();
    };
    EXPECT_EQ(ask("116"), "OK 0\n");
    EXPECT_EQ(ask("121 0"), "OK 0\n");
    EXPECT_EQ(ask("63 0 " + temp.file("white.tga")), "OK\n");
    EXPECT_EQ(ask("75 0"), "OK\n");
    EXPECT_EQ(ask("1000 " + mkv), "OK 1\n");
    EXPECT_EQ(ask("1000 gst:nosuchelement"), "ERROR\n");
    EXPECT_EQ(ask("1000 " + temp.file("no/such/folder/x.mkv")), "ERROR\n");
    EXPECT_EQ(ask("1002"), "OK 1\n");
    std::this_thread::sleep_for(1500ms); // frames to record
    EXPECT_EQ(ask("1001 1"), "OK\n");
    // Complete before the reply: it decodes, with a duration, while the server still runs.
    const std::string frames = decode(mkv);
    ASSERT_GE(frames.size(), 5 * kFrameBytes);
    ASSERT_EQ(frames.size() % kFrameBytes, 0u);
    EXPECT_EQ(uint8_t(frames[frames.size() - kFrameBytes + 3]), 254); // the white layer's alpha
    EXPECT_GT(std::atof(probe("-show_entries format=duration", mkv).c_str()), 0.3);
    EXPECT_EQ(ask("1002"), "OK 0\n");
    EXPECT_EQ(ask("1001 1"), "ERROR\n");
    // Their log lines are the application test's (tests/app/application_test.cpp).
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(15000), 0) << log();
}
