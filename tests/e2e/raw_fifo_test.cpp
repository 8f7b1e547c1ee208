// The real server with two raw outputs on FIFOs: both get the same frames, and a reader that
// stops reading holds up neither the other output nor the frame rate.
#include "support/FifoReader.h"
#include "support/FrameCollector.h"
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono_literals;
using namespace kavelin::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kFrameBytes = 720 * 576 * 4;

} // namespace

TEST(RawFifoOutputs, BothGetTheSameFramesAndAStalledReaderHoldsUpNeitherTheOtherNorTheRate) {
    TempDir temp{"kavelin-fifos"};
    const std::string fifos[2] = {temp.file("a.raw"), temp.file("b.raw")};
    ASSERT_TRUE(::mkfifo(fifos[0].c_str(), 0600) == 0 && ::mkfifo(fifos[1].c_str(), 0600) == 0);
    const std::vector<std::string> crawl = crawlScene(temp.file("crawl.tga"));
    ASSERT_FALSE(crawl.empty());
    FrameCollector a(fifos[0], kFrameBytes), b(fifos[1], kFrameBytes);
    const uint16_t port = freePort();
    auto server = startHeadless(
        port, {"--output", "raw:" + fifos[0], "--output", "raw:" + fifos[1]}, temp.file("out.txt"));
    ASSERT_TRUE(becameReady(temp.file("out.txt"))) << readFile(temp.file("out.txt"));
    {
        Client client(port);
        for (const std::string& line : crawl) {
            ASSERT_TRUE(client.send(line + "\n"));
            EXPECT_EQ(client.readLine().substr(0, 2), "OK") << line;
        }
    }
    ASSERT_TRUE(a.waitForFrames(25) && b.waitForFrames(25));

    b.paused = true;
    const Clock::time_point pause = Clock::now();
    std::this_thread::sleep_for(3s);
    const Clock::time_point resume = Clock::now();
    b.paused = false;
    const size_t beforeResume = b.frames().size();
    ASSERT_TRUE(b.waitForFrames(beforeResume + 20));
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(5000), 0);

    // While b stalled, a lost no more than one frame in a row: no gap over 80 ms of picture
    // time (a crawl step is a 40 ms frame). On the wall clock it kept the format's rate, and
    // waited for nothing; the bound there leaves room for a busy machine's scheduling.
    const std::vector<ReceivedFrame> framesA = a.frames(), framesB = b.frames();
    Clock::time_point last = pause;
    int inPause = 0;
    for (size_t i = 1; i < framesA.size(); ++i)
        if (framesA[i].at > pause && framesA[i].at <= resume) {
            EXPECT_LE(framesA[i].index - framesA[i - 1].index, 2) << "at " << framesA[i].index;
            EXPECT_LT(framesA[i].at - std::exchange(last, framesA[i].at), 400ms);
            ++inPause;
        }
    EXPECT_LT(resume - last, 400ms);
    EXPECT_TRUE(inPause >= 60 && inPause <= 80) << inPause;

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
}
