// The headless server as clients meet it: command server, command processor with its renderer,
// headless output with its 40 ms frame clock, and log lines written to a file. Measures
// sequential round trips beside a minimal blocking echo server, pipelined lines per second,
// and the frame clock's pacing while the pipelined load runs.

#include "BenchSummary.h"

#include "app/StreamLog.h"
#include "engine/CommandProcessor.h"
#include "engine/FrameRequest.h"
#include "engine/FrameSource.h"
#include "net/CommandServer.h"
#include "output/HeadlessOutput.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace kavelin;
using Clock = std::chrono::steady_clock;

namespace {

int listenOnLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 10);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

uint16_t freePort() {
    uint16_t port = 0;
    ::close(listenOnLoopback(port));
    return port;
}

int connectTo(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
    return -1;
}

bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads until `lines` line feeds have arrived.
bool readLines(int fd, long lines) {
    char chunk[65536];
    while (lines > 0) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        lines -= std::count(chunk, chunk + n, '\n');
    }
    return true;
}

// Records when each frame tick arrives, then composes it as usual.
class TickRecorder : public FrameSource {
public:
    explicit TickRecorder(FrameSource& inner) : inner_(inner) {}
    void onFrame(FrameRequest& request) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ticks_.push_back(Clock::now());
        }
        inner_.onFrame(request);
    }
    std::vector<Clock::time_point> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::move(ticks_);
    }

private:
    FrameSource& inner_;
    std::mutex mutex_;
    std::vector<Clock::time_point> ticks_;
};

// The headless system, built as the application builds it.
struct System {
    std::FILE* logFile = std::tmpfile();
    StreamLog log{logFile};
    HeadlessOutput output{720, 576, 25};
    uint16_t port = freePort();
    CommandServer server{port, "127.0.0.1"};
    CommandProcessor processor;
    TickRecorder recorder{processor};
    int client = -1;

    System() {
        server.setDiagnostics(logFile);
        output.open();
        server.start();
        processor.init(output, &server, {}, log);
        output.setFrameSource(&recorder);
        client = connectTo(port);
        const std::string setup = "116\n121 0\n62 0 720 576\n75 0\n";
        sendAll(client, setup.data(), setup.size());
        readLines(client, 4);
    }
    ~System() {
        ::close(client);
        output.stopFrames();
    }
};

System& systemUnderTest() {
    static System s;
    return s;
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

void BM_roundTrip_echo(benchmark::State& state) {
    EchoServer echo;
    roundTrips(state, echo.client);
}

constexpr long kPipelined = 100000;

void BM_pipelined_kavelin(benchmark::State& state) {
    System& s = systemUnderTest();
    std::string lines;
    for (long i = 0; i < kPipelined; ++i)
        lines += "66 0 10 10\n";
    for (auto _ : state) {
        std::thread writer([&] { sendAll(s.client, lines.data(), lines.size()); });
        readLines(s.client, kPipelined);
        writer.join();
    }
    state.SetItemsProcessed(state.iterations() * kPipelined);
}

BENCHMARK(BM_roundTrip_kavelin)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_roundTrip_echo)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_pipelined_kavelin)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// 10 s of frame ticks while pipelined lines keep the server busy.
void pacingUnderLoad() {
    System& s = systemUnderTest();
    std::string lines;
    for (long i = 0; i < 10000; ++i)
        lines += "66 0 10 10\n";
    s.recorder.take();
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
    const std::vector<Clock::time_point> ticks = s.recorder.take();
    done = true;
    load.join();
    if (ticks.size() < 2) {
        std::printf("frame pacing: no ticks recorded\n");
        return;
    }
    const double seconds = std::chrono::duration<double>(ticks.back() - ticks.front()).count();
    const double fps = static_cast<double>(ticks.size() - 1) / seconds;
    // Lateness against the ideal grid that starts at the first tick.
    std::vector<double> late;
    for (size_t k = 0; k < ticks.size(); ++k) {
        const auto ideal = ticks.front() + std::chrono::milliseconds(40) * static_cast<int64_t>(k);
        late.push_back(std::chrono::duration<double, std::milli>(ticks[k] - ideal).count());
    }
    std::sort(late.begin(), late.end());
    const double p99 = late[std::min(late.size() - 1, late.size() * 99 / 100)];
    std::printf("frame pacing over %.1f s under pipelined load (%ld lines answered): "
                "%.3f frames/s (target 25.00 +- 0.05), 99th-percentile lateness %.2f ms "
                "(target <= 5 ms)\n",
                seconds, sent, fps, p99);
}

void summary(const bench::CapturingReporter& r) {
    const double ours = r.realSeconds("BM_roundTrip_kavelin/min_time:1.000/real_time");
    const double echo = r.realSeconds("BM_roundTrip_echo/min_time:1.000/real_time");
    const double pipelined = r.realSeconds("BM_pipelined_kavelin/min_time:1.000/real_time");
    std::printf("sequential round trips of '66 0 10 10': %.0f/s; minimal echo server: %.0f/s; "
                "ratio %.2f (target >= 0.8)\n",
                ours > 0 ? 1 / ours : 0, echo > 0 ? 1 / echo : 0, bench::ratio(echo, ours));
    std::printf("pipelined: %.0f lines/s with replies, log lines to a file (target >= 250000)\n",
                pipelined > 0 ? kPipelined / pipelined : 0);
    pacingUnderLoad();
}

} // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarise(argc, argv, summary);
}
