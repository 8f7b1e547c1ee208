#pragma once

// The frame pacing harness: a reader of a raw output's FIFO that notes when each whole frame
// arrived, the raw output wrapped so that each frame it wrote is noted with its number and
// deadline, the figures made of both, and a bare thread waking on the frame grid as the
// reference of how promptly this machine runs a thread at all.

#include "ServerHarness.h"

#include "engine/OutputSink.h"
#include "engine/ThreadPriority.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kavelin::bench {

using Clock = std::chrono::steady_clock;

// 720 x 576 at 25 frames a second, as the server runs by default.
inline constexpr int kWidth = 720, kHeight = 576;
inline constexpr size_t kFrameBytes = size_t{kWidth} * kHeight * 4;
inline constexpr auto kPeriod = std::chrono::milliseconds(40);

inline double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A folder of its own under the temporary folder, removed with its files at the end.
class Folder {
public:
    Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavelin-pacing-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    bool made() const { return !path_.empty(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Reads whole frames from the FIFO on a thread of its own and notes when each one was complete.
// Ends when the writer closes the FIFO for good (the server stopped).
class FifoReader {
public:
    explicit FifoReader(std::string path) : path_(std::move(path)) {
        thread_ = std::thread([this] { run(); });
    }
    ~FifoReader() { finish(); }
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;

    // Waits for the thread; when no writer ever came, opens the FIFO for writing once so that
    // the reader's open returns.
    void finish() {
        if (!thread_.joinable())
            return;
        if (!opened_.load()) {
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
        }
        thread_.join();
    }
    size_t frames() const {
        std::lock_guard lock(mutex_);
        return arrivals_.size();
    }
    std::vector<Clock::time_point> arrivals() const {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }

private:
    void run() {
        // The reader stands for the equipment downstream: it reads at the frame path's
        // priority, so that the figures are the server's and not this process's other threads'.
        raiseForFramePath();
        // Blocks until the raw output opens its end (it does so without blocking, and finds
        // this reader already counted).
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        opened_ = true;
        if (fd < 0)
            return;
        std::vector<uint8_t> frame(kFrameBytes);
        size_t got = 0;
        for (;;) {
            const ssize_t n = ::read(fd, frame.data() + got, kFrameBytes - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
            if (got == kFrameBytes) {
                const Clock::time_point now = Clock::now();
                std::lock_guard lock(mutex_);
                arrivals_.push_back(now);
                got = 0;
            }
        }
        ::close(fd);
    }

    std::string path_;
    std::atomic<bool> opened_{false};
    mutable std::mutex mutex_;
    std::vector<Clock::time_point> arrivals_;
    std::thread thread_;
};

// What the raw output wrote: each frame that went out whole, with its number and deadline. The
// frames that went out are, in order, the frames the FIFO's reader gets.
class WrittenFrames {
public:
    struct Entry {
        int64_t number;
        Clock::time_point deadline;
        Clock::time_point taken;   // when the output's thread had it
        Clock::time_point written; // when its last byte was in the FIFO
    };
    void add(const Frame& frame, Clock::time_point taken, Clock::time_point written) {
        std::lock_guard lock(mutex_);
        entries_.push_back({frame.number, frame.deadline, taken, written});
    }
    std::vector<Entry> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// The raw output, noting every frame it wrote.
class NotedOutput : public FrameConsumer {
public:
    NotedOutput(std::unique_ptr<FrameConsumer> raw, std::shared_ptr<WrittenFrames> written)
        : raw_(std::move(raw)), written_(std::move(written)) {}
    Status open() override { return raw_->open(); }
    bool consume(const Frame& frame, const std::atomic<bool>& stopping) override {
        const Clock::time_point taken = Clock::now();
        const bool written = raw_->consume(frame, stopping);
        if (written)
            written_->add(frame, taken, Clock::now());
        return written;
    }
    void finish() override { raw_->finish(); }

private:
    std::unique_ptr<FrameConsumer> raw_;
    std::shared_ptr<WrittenFrames> written_;
};

struct Figures {
    size_t frames = 0;
    double fps = 0;
    double largestGapMs = 0;
    double withinShare = 0; // of frames within 5 ms of their deadline
    double p50LateMs = 0;   // after the deadline
    double p99LateMs = 0;
    double maxLateMs = 0;
    double gridShare = 0;    // the same share against first arrival + n x 40 ms
    double p99TakenMs = 0;   // deadline to the output's thread
    double p99WrittenMs = 0; // the output's thread to the frame's last byte in the FIFO
    double lockWaitMs = 0;
    EngineStats engine; // during the run
    uint64_t outputDropped = 0;
    std::string load; // what the client got done
    // The reference: a bare thread of this process waking on its own 40 ms grid during the
    // run, which shows how promptly this machine runs a thread that has little to do.
    double referenceShare = 0; // wake-ups within 5 ms
    double referenceP99Ms = 0;
    double referenceMaxMs = 0;
    std::string machineLoad; // the load average before and after the run
    bool valid = false;
};

inline std::string loadAverage() {
    char text[64] = "?";
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%63s", text) != 1)
            std::snprintf(text, sizeof text, "?");
        std::fclose(f);
    }
    return text;
}

// Wakes on a 40 ms grid until `until` and notes how late each wake-up was.
class WakeReference {
public:
    explicit WakeReference(Clock::time_point until) {
        thread_ = std::thread([this, until] {
            const Clock::time_point origin = Clock::now();
            for (int64_t n = 1;; ++n) {
                const Clock::time_point due = origin + kPeriod * n;
                if (due > until)
                    break;
                std::this_thread::sleep_until(due);
                late_.push_back(ms(Clock::now() - due));
            }
        });
    }
    ~WakeReference() {
        if (thread_.joinable())
            thread_.join();
    }
    // Waits for the thread, then fills the reference figures.
    void result(Figures& f) {
        thread_.join();
        if (late_.empty())
            return;
        std::sort(late_.begin(), late_.end());
        f.referenceShare = static_cast<double>(std::count_if(late_.begin(), late_.end(),
                                                             [](double l) { return l <= 5.0; })) /
                           static_cast<double>(late_.size());
        f.referenceP99Ms = late_[std::min(late_.size() - 1, late_.size() * 99 / 100)];
        f.referenceMaxMs = late_.back();
    }

private:
    std::vector<double> late_;
    std::thread thread_;
};

inline bool passFps(double fps) {
    return std::fabs(fps - 25.0) <= 0.05;
}

inline const char* verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

inline Figures figuresOf(const std::vector<Clock::time_point>& arrivals,
                         const std::vector<WrittenFrames::Entry>& written, Clock::time_point from,
                         Clock::time_point to) {
    Figures f;
    // The reader's k-th frame is the k-th frame written whole.
    const size_t count = std::min(arrivals.size(), written.size());
    std::vector<size_t> inRun;
    for (size_t k = 0; k < count; ++k)
        if (arrivals[k] >= from && arrivals[k] <= to)
            inRun.push_back(k);
    f.frames = inRun.size();
    if (inRun.size() < 2)
        return f;
    f.valid = true;
    const Clock::time_point first = arrivals[inRun.front()];
    const Clock::time_point last = arrivals[inRun.back()];
    f.fps =
        static_cast<double>(inRun.size() - 1) / std::chrono::duration<double>(last - first).count();
    std::vector<double> late, taken, writing;
    size_t within = 0, withinGrid = 0;
    const int64_t firstNumber = written[inRun.front()].number;
    for (size_t i = 0; i < inRun.size(); ++i) {
        const size_t k = inRun[i];
        if (i > 0)
            f.largestGapMs = std::max(f.largestGapMs, ms(arrivals[k] - arrivals[inRun[i - 1]]));
        const double after = ms(arrivals[k] - written[k].deadline);
        late.push_back(after);
        taken.push_back(ms(written[k].taken - written[k].deadline));
        writing.push_back(ms(written[k].written - written[k].taken));
        if (std::fabs(after) <= 5.0)
            ++within;
        const Clock::time_point grid = first + kPeriod * (written[k].number - firstNumber);
        if (std::fabs(ms(arrivals[k] - grid)) <= 5.0)
            ++withinGrid;
    }
    auto p99 = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, v.size() * 99 / 100)];
    };
    f.p99LateMs = p99(late);
    f.p50LateMs = late[late.size() / 2];
    f.p99TakenMs = p99(taken);
    f.p99WrittenMs = p99(writing);
    f.maxLateMs = late.back();
    f.withinShare = static_cast<double>(within) / static_cast<double>(inRun.size());
    f.gridShare = static_cast<double>(withinGrid) / static_cast<double>(inRun.size());
    return f;
}

// Sends the line and says what came back when it was not what was expected.
inline bool expect(Client& client, const std::string& line, const char* reply,
                   std::string& problem) {
    const std::string got = client.call(line);
    if (got.rfind(reply, 0) == 0)
        return true;
    std::string text(1, '\'');
    text.append(line, 0, 40);
    text.append("' answered '");
    text.append(got);
    text.push_back('\'');
    problem = std::move(text);
    return false;
}

} // namespace kavelin::bench
