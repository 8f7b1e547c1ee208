// The headless server as clients meet it: the Application in this process (engine with its
// 40 ms frame clock, command server, command executor) with one output that notes when each
// frame reaches it, and its log lines written to a file as the program writes them to standard
// output. Measures sequential round trips beside a minimal blocking echo server, pipelined lines
// per second, and the pacing of the frames while the pipelined load runs; the round trips, the
// pipelined lines and the pacing also with the log dropped, to show what the log costs.

#include "BenchSummary.h"
#include "NullLog.h"
#include "ServerHarness.h"

#include "engine/LogChannel.h"
#include "engine/OutputSink.h"
#include "engine/StreamLogWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace kavelin;
using namespace kavelin::bench;
using Clock = std::chrono::steady_clock;

namespace {

// Notes when each frame reaches the output, with the frame's number and deadline.
class FrameRecorder : public FrameConsumer {
public:
    struct Arrival {
        int64_t number;
        Clock::time_point deadline;
        Clock::time_point arrived;
    };
    bool consume(const Frame& frame, const std::atomic<bool>&) override {
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(mutex_);
        arrivals_.push_back({frame.number, frame.deadline, now});
        return true;
    }
    std::vector<Arrival> take() {
        std::lock_guard lock(mutex_);
        return std::move(arrivals_);
    }

private:
    std::mutex mutex_;
    std::vector<Arrival> arrivals_;
};

// The log as the headless program has it, but written to a temporary file.
struct FileLog {
    std::FILE* file = std::tmpfile();
    LogChannel channel;
    FileLog() { channel.addWriter(std::make_shared<StreamLogWriter>(::fileno(file))); }
    ~FileLog() {
        channel.flush();
        std::fclose(file);
    }
};

enum class LogKind { File, Dropped };

// The system under test with a layer of 720 x 576 shown, and one client connected.
struct System {
    std::unique_ptr<FileLog> fileLog;
    NullLog nullLog;
    FrameRecorder* recorder = nullptr; // owned by the engine's output
    std::unique_ptr<InProcessServer> server;
    int client = -1;
    std::unique_ptr<Client> connection;

    explicit System(LogKind kind) {
        if (kind == LogKind::File)
            fileLog = std::make_unique<FileLog>();
        LogSink& log = fileLog ? static_cast<LogSink&>(fileLog->channel) : nullLog;
        server = std::make_unique<InProcessServer>(
            log, std::vector<std::string>{"record"},
            [this](const std::string&) -> Result<std::unique_ptr<FrameConsumer>> {
                auto made = std::make_unique<FrameRecorder>();
                recorder = made.get();
                return std::unique_ptr<FrameConsumer>(std::move(made));
            });
        if (!server->ready())
            return;
        connection = std::make_unique<Client>(server->port());
        for (const char* line : {"116", "121 0", "62 0 720 576", "75 0"})
            connection->call(line);
        client = connection->fd();
    }
    ~System() {
        connection.reset(); // the server ends the session before it stops
        server.reset();
    }
};

// One system at a time, so that no other frame clock runs beside the one measured.
std::unique_ptr<System> current;
LogKind currentKind = LogKind::File;

System& systemUnderTest(LogKind kind = LogKind::File) {
    if (!current || currentKind != kind) {
        current.reset();
        current = std::make_unique<System>(kind);
        currentKind = kind;
    }
    return *current;
}

struct EchoServer {
    uint16_t port = 0;
    int listener = listenOnLoopback(port);
    std::thread thread{[this] {
        const int fd = ::accept(listener, nullptr, nullptr);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::string pending;
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            pending.append(chunk, static_cast<size_t>(n));
            size_t feed;
            while ((feed = pending.find('\n')) != std::string::npos) {
                sendAll(fd, pending.data(), feed + 1);
                pending.erase(0, feed + 1);
            }
        }
        ::close(fd);
    }};
    int client = connectTo(port);
    ~EchoServer() {
        ::shutdown(client, SHUT_RDWR);
        ::close(client);
        thread.join();
        ::close(listener);
    }
};

void roundTrips(benchmark::State& state, int fd) {
    static const char line[] = "66 0 10 10\n";
    if (fd < 0) {
        state.SkipWithError("no connection");
        return;
    }
    for (auto _ : state) {
        if (!sendAll(fd, line, sizeof line - 1) || !readLines(fd, 1)) {
            state.SkipWithError("connection failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_roundTrip_kavelin(benchmark::State& state) {
    roundTrips(state, systemUnderTest().client);
}

void BM_roundTrip_kavelin_logDropped(benchmark::State& state) {
    roundTrips(state, systemUnderTest(LogKind::Dropped).client);
}

void BM_roundTrip_echo(benchmark::State& state) {
    EchoServer echo;
    roundTrips(state, echo.client);
}

constexpr long kPipelined = 100000;

const std::string& pipelinedLines() {
    static const std::string lines = [] {
        std::string text;
        for (long i = 0; i < kPipelined; ++i)
            text += "66 0 10 10\n";
        return text;
    }();
    return lines;
}

void pipelined(benchmark::State& state, LogKind kind) {
    System& s = systemUnderTest(kind);
    if (s.client < 0) {
        state.SkipWithError("no connection");
        return;
    }
    const std::string& lines = pipelinedLines();
    for (auto _ : state) {
        std::thread writer([&] { sendAll(s.client, lines.data(), lines.size()); });
        readLines(s.client, kPipelined);
        writer.join();
    }
    state.SetItemsProcessed(state.iterations() * kPipelined);
}

void BM_pipelined_kavelin(benchmark::State& state) {
    pipelined(state, LogKind::File);
}
void BM_pipelined_kavelin_logDropped(benchmark::State& state) {
    pipelined(state, LogKind::Dropped);
}

BENCHMARK(BM_roundTrip_kavelin)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_roundTrip_echo)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_pipelined_kavelin)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_roundTrip_kavelin_logDropped)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_pipelined_kavelin_logDropped)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();

// 10 s of frames while pipelined lines keep the server busy. Lateness is measured when the frame
// reaches the output's thread, against its deadline.
void pacingUnderLoad(LogKind kind) {
    System& s = systemUnderTest(kind);
    if (s.client < 0 || s.recorder == nullptr) {
        std::printf("frame pacing: the server did not start\n");
        return;
    }
    std::string lines;
    for (long i = 0; i < 10000; ++i)
        lines += "66 0 10 10\n";
    s.recorder->take();
    std::atomic<bool> done{false};
    long sent = 0;
    std::thread load([&] {
        while (!done) {
            sendAll(s.client, lines.data(), lines.size());
            readLines(s.client, 10000);
            sent += 10000;
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const std::vector<FrameRecorder::Arrival> frames = s.recorder->take();
    done = true;
    load.join();
    if (frames.size() < 2) {
        std::printf("frame pacing: no frames recorded\n");
        return;
    }
    const double seconds =
        std::chrono::duration<double>(frames.back().arrived - frames.front().arrived).count();
    const double fps = static_cast<double>(frames.size() - 1) / seconds;
    // Lateness against the ideal grid through the first frame (as measured before), and against
    // each frame's own deadline.
    std::vector<double> grid, deadline;
    for (const FrameRecorder::Arrival& f : frames) {
        const auto ideal = frames.front().arrived +
                           std::chrono::milliseconds(40) * (f.number - frames.front().number);
        grid.push_back(std::chrono::duration<double, std::milli>(f.arrived - ideal).count());
        deadline.push_back(
            std::chrono::duration<double, std::milli>(f.arrived - f.deadline).count());
    }
    auto p99 = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, v.size() * 99 / 100)];
    };
    std::printf("frame pacing over %.1f s under pipelined load, %s (%ld lines answered): "
                "%.3f frames/s (target 25.00 +- 0.05), 99th-percentile lateness %.2f ms after "
                "the frame's deadline (target <= 5 ms; %.2f ms against the grid through the "
                "first frame)\n",
                seconds, kind == LogKind::File ? "log to a file" : "log dropped", sent, fps,
                p99(deadline), p99(grid));
}

void summary(const bench::CapturingReporter& r) {
    const double ours = r.realSeconds("BM_roundTrip_kavelin/min_time:1.000/real_time");
    const double echo = r.realSeconds("BM_roundTrip_echo/min_time:1.000/real_time");
    const double pipelinedFile = r.realSeconds("BM_pipelined_kavelin/min_time:1.000/real_time");
    const double pipelinedDropped =
        r.realSeconds("BM_pipelined_kavelin_logDropped/min_time:1.000/real_time");
    const double oursDropped =
        r.realSeconds("BM_roundTrip_kavelin_logDropped/min_time:1.000/real_time");
    std::printf("sequential round trips of '66 0 10 10': %.0f/s; minimal echo server: %.0f/s; "
                "ratio %.2f (target >= 0.8); with the log dropped %.0f/s, ratio %.2f\n",
                ours > 0 ? 1 / ours : 0, echo > 0 ? 1 / echo : 0, bench::ratio(echo, ours),
                oursDropped > 0 ? 1 / oursDropped : 0, bench::ratio(echo, oursDropped));
    std::printf("pipelined: %.0f lines/s with replies, log lines to a file (target >= 250000); "
                "%.0f lines/s with the log dropped\n",
                pipelinedFile > 0 ? kPipelined / pipelinedFile : 0,
                pipelinedDropped > 0 ? kPipelined / pipelinedDropped : 0);
    pacingUnderLoad(LogKind::File);
    pacingUnderLoad(LogKind::Dropped);
    current.reset();
}

} // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarise(argc, argv, summary);
}
