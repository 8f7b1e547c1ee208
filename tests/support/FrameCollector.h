#pragma once

#include "support/ChildProcess.h"
#include "support/FifoReader.h"
#include "support/TgaWriter.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kavelin::test {

// A 720 x 8 window at the top left crawling left by one pixel a frame over a 4096 x 8 picture
// whose column c is coloured (c % 256, c / 256, 0x55): the picture is written to `tga`, and the
// command lines that show it are returned.
inline std::vector<std::string> crawlScene(const std::string& tga) {
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
    std::chrono::steady_clock::time_point at;
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
            frames_.push_back(
                {std::chrono::steady_clock::now(), index, std::hash<std::string>{}(frame)});
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

} // namespace kavelin::test
