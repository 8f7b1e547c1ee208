// Frame pacing of the server under load, as a reader of its raw output sees it. For each load
// case a fresh server (the Application in this process: headless, 720 x 576 at 25 frames a
// second, the steady frame clock) writes its frames to one raw output on a FIFO; a thread here
// reads whole frames from the FIFO and notes when each arrived, while one client loads the
// server for the given number of seconds:
//
//   a  pipelined cheap lines ("66 0 10 10"), 100,000 at a time, replies read;
//   b  a 1000-frame 720 x 576 32-bit TGA sequence loaded with command 64, again and again;
//   c  a wrapped text of 490 'W' at a cell height of 1024 with ten drop shadows drawn into a
//      1920 x 1080 layer with command 104, again and again;
//   d  command 63 on a FIFO nobody writes to, again and again (each is refused at once; the
//      FIFO is opened for writing at the end all the same, to release a reader that would
//      wait for a writer).
//
// Printed per case: frames per second at the reader (target 25.00 +- 0.05), the largest gap
// between frames (target under 80 ms), the share of frames that arrived within 5 ms of their
// deadline (target 99.9 %), and the longest wait of the frame path for the scene's lock
// (target at most 1 ms). The deadlines are the engine's: the raw output is wrapped so that each
// frame it writes is noted with its number and deadline. Beside them, as a reference of how
// promptly this machine runs a thread at all, a bare thread of the same process wakes on its own
// 40 ms grid during each run. Case b first writes its 1000 files (1.7 GB) into the temporary
// folder; they are removed at the end.
//
//   build/bench/bench_frame_pacing [seconds] [cases]      (defaults: 20 abcd)

#include "NullLog.h"
#include "PacingHarness.h"

#include "app/OutputMaker.h"
#include "image/TgaWriter.h"

using namespace kavelin;
using namespace kavelin::bench;

namespace {

constexpr int kSequenceFrames = 1000;

// The 1000 files of the sequence: PREFIX0000.tga ... PREFIX0999.tga, each a different picture.
bool writeSequence(const std::string& prefix) {
    const auto header = tgaHeader(kWidth, kHeight, 32, true);
    std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
    for (int n = 0; n < kSequenceFrames; ++n) {
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = 0x80000000u | static_cast<uint32_t>((i + size_t(n) * 7919) & 0xFFFFFF);
        char name[32];
        std::snprintf(name, sizeof name, "%04d.tga", n);
        std::FILE* f = std::fopen((prefix + name).c_str(), "wb");
        if (f == nullptr)
            return false;
        const bool written = std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
                             std::fwrite(pixels.data(), 4, pixels.size(), f) == pixels.size();
        if (std::fclose(f) != 0 || !written)
            return false;
    }
    return true;
}

// 490 'W' in UTF-16LE after the ten blanks of command 104: wrap on, line spacing 0.
std::string wideTextLine() {
    std::string line = "104 0 0 0 0 255 255 255 255 1 0 ";
    for (int i = 0; i < 490; ++i) {
        line.push_back('W');
        line.push_back('\0');
    }
    return line;
}

struct Case {
    char key;
    const char* title;
};

constexpr Case kCases[] = {
    {'a', "pipelined cheap lines"},
    {'b', "1000-frame TGA sequence loads"},
    {'c', "490 'W' at cell 1024, ten drop shadows, wrapped"},
    {'d', "command 63 on a FIFO nobody writes to"},
};

void print(const Case& c, const Figures& f, double seconds) {
    std::printf("\n(%c) %s, %.0f s\n", c.key, c.title, seconds);
    std::printf("    load: %s\n", f.load.c_str());
    std::printf("    machine: 1-minute load average %s the run\n", f.machineLoad.c_str());
    if (!f.valid) {
        std::printf("    no figures: too few frames reached the reader\n");
        return;
    }
    std::printf("    frames at the reader      %zu; engine: %llu made, %llu late, %llu skipped; "
                "output dropped %llu\n",
                f.frames, static_cast<unsigned long long>(f.engine.frames),
                static_cast<unsigned long long>(f.engine.late),
                static_cast<unsigned long long>(f.engine.skipped),
                static_cast<unsigned long long>(f.outputDropped));
    std::printf("    frames per second         %8.3f   (target 25.00 +- 0.05)   %s\n", f.fps,
                verdict(passFps(f.fps)));
    std::printf("    largest gap               %8.1f ms (target < 80 ms)        %s\n",
                f.largestGapMs, verdict(f.largestGapMs < 80.0));
    std::printf("    within 5 ms of deadline   %8.2f %% (target >= 99.9 %%)       %s\n",
                f.withinShare * 100, verdict(f.withinShare >= 0.999));
    std::printf("      arrival after deadline: median %.2f ms, 99th percentile %.2f ms, "
                "max %.2f ms; against first arrival + n x 40 ms: %.2f %% within 5 ms\n",
                f.p50LateMs, f.p99LateMs, f.maxLateMs, f.gridShare * 100);
    std::printf("      99th percentiles: deadline to the output's thread %.2f ms, writing the "
                "frame into the FIFO %.2f ms\n",
                f.p99TakenMs, f.p99WrittenMs);
    std::printf("      reference, a bare thread waking every 40 ms: %.2f %% within 5 ms, 99th "
                "percentile %.2f ms late, max %.2f ms\n",
                f.referenceShare * 100, f.referenceP99Ms, f.referenceMaxMs);
    std::printf("    longest scene-lock wait   %8.3f ms (target <= 1 ms)        %s\n", f.lockWaitMs,
                verdict(f.lockWaitMs <= 1.0));
}

Figures runCase(const Case& c, double seconds, const std::string& sequencePrefix) {
    Figures failed;
    Folder folder;
    const std::string fifo = folder.file("frames.raw");
    const std::string silent = folder.file("silent.tga");
    if (!folder.made() || ::mkfifo(fifo.c_str(), 0600) != 0 ||
        ::mkfifo(silent.c_str(), 0600) != 0) {
        failed.load = "cannot make the FIFOs";
        return failed;
    }

    NullLog log;
    FifoReader reader(fifo);
    auto written = std::make_shared<WrittenFrames>();
    bool outputMade = false;
    auto server = std::make_unique<InProcessServer>(
        log, std::vector<std::string>{"raw:" + fifo},
        [&](const std::string& output) -> Result<std::unique_ptr<FrameConsumer>> {
            Result<std::unique_ptr<FrameConsumer>> raw = makeOutput(output, Format{}, log);
            if (!raw)
                return raw.error();
            outputMade = true;
            return std::unique_ptr<FrameConsumer>(
                std::make_unique<NotedOutput>(std::move(*raw), written));
        });
    if (!server->ready() || !outputMade) {
        failed.load = "the server did not start";
        return failed;
    }
    // The frames flow before the load begins.
    for (int i = 0; i < 500 && reader.frames() < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    Client client(server->port());
    std::string problem;
    std::vector<std::string> setup = {"116", "121 0"};
    if (c.key == 'c') {
        setup.push_back("62 0 1920 1080");
        setup.push_back("75 0");
        setup.push_back("4 0 DejaVu Sans\t1024 0 0 11 1");
        for (int i = 0; i < 10; ++i)
            setup.push_back("103 0 0 0 0 0 128 45 3 0");
    } else {
        setup.push_back("62 0 720 576");
        setup.push_back("75 0");
    }
    for (const std::string& line : setup)
        if (!expect(client, line, "OK", problem)) {
            failed.load = "setup failed: " + problem;
            return failed;
        }

    std::atomic<bool> stop{false};
    long done = 0;
    double firstSeconds = 0;
    std::string loadProblem;
    const std::string textLine = wideTextLine();
    std::string pipelined;
    if (c.key == 'a')
        for (int i = 0; i < 100000; ++i)
            pipelined += "66 0 10 10\n";

    const EngineStats before = server->engine().stats();
    const uint64_t droppedBefore = server->engine().outputs().front().dropped;
    const std::string loadBefore = loadAverage();
    const Clock::time_point from = Clock::now();
    const Clock::time_point until =
        from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    WakeReference reference(until);
    std::thread load([&] {
        // Repeats the case's command until the run is over; the first one's time is kept.
        while (!stop) {
            const Clock::time_point began = Clock::now();
            bool ok = true;
            switch (c.key) {
            case 'a': {
                std::thread writer(
                    [&] { sendAll(client.fd(), pipelined.data(), pipelined.size()); });
                ok = readLines(client.fd(), 100000);
                writer.join();
                break;
            }
            case 'b':
                ok = expect(client, "64 0 " + sequencePrefix + "\t0 999", "OK", loadProblem) &&
                     expect(client, "75 0", "OK", loadProblem);
                break;
            case 'c':
                ok = expect(client, textLine, "OK", loadProblem);
                break;
            case 'd':
                ok = expect(client, "63 0 " + silent, "ERROR", loadProblem);
                break;
            }
            if (!ok)
                break;
            if (done++ == 0)
                firstSeconds = std::chrono::duration<double>(Clock::now() - began).count();
        }
    });
    std::this_thread::sleep_until(until);
    const Clock::time_point to = Clock::now();
    const EngineStats after = server->engine().stats();
    const uint64_t droppedAfter = server->engine().outputs().front().dropped;
    stop = true;
    if (c.key == 'd') {
        const int fd = ::open(silent.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    load.join();
    server.reset(); // the raw output closes its end: the reader ends
    reader.finish();

    Figures f = figuresOf(reader.arrivals(), written->entries(), from, to);
    reference.result(f);
    f.machineLoad = loadBefore + " before, " + loadAverage() + " after";
    f.engine = {after.frames - before.frames, after.late - before.late,
                after.skipped - before.skipped, after.longestLockWait};
    f.lockWaitMs = ms(after.longestLockWait);
    f.outputDropped = droppedAfter - droppedBefore;
    char text[200];
    switch (c.key) {
    case 'a':
        std::snprintf(text, sizeof text,
                      "%ld batches of 100,000 lines answered, the first in %.3f s (%.0f lines/s)",
                      done, firstSeconds, firstSeconds > 0 ? 100000 / firstSeconds : 0.0);
        break;
    case 'b':
        std::snprintf(text, sizeof text, "%ld sequences of 1000 frames loaded, the first in %.2f s",
                      done, firstSeconds);
        break;
    case 'c':
        std::snprintf(text, sizeof text, "%ld texts drawn, the first in %.2f s", done,
                      firstSeconds);
        break;
    default:
        std::snprintf(text, sizeof text, "%ld FIFOs refused, the first in %.4f s", done,
                      firstSeconds);
        break;
    }
    f.load = text;
    if (!loadProblem.empty())
        f.load += "; then " + loadProblem;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 20.0;
    const std::string cases = argc > 2 ? argv[2] : "abcd";
    std::printf("frame pacing of the server at 720 x 576, 25 frames a second, %.0f s per case\n",
                seconds);
    Folder sequence;
    const std::string prefix = sequence.file("seq_");
    if (cases.find('b') != std::string::npos) {
        std::printf("writing the %d TGA files of case b ...\n", kSequenceFrames);
        std::fflush(stdout);
        if (!sequence.made() || !writeSequence(prefix)) {
            std::printf("cannot write the TGA sequence\n");
            return 1;
        }
    }
    bool allPass = true;
    for (const Case& c : kCases) {
        if (cases.find(c.key) == std::string::npos)
            continue;
        const Figures f = runCase(c, seconds, prefix);
        print(c, f, seconds);
        allPass = allPass && f.valid && passFps(f.fps) && f.largestGapMs < 80.0 &&
                  f.withinShare >= 0.999 && f.lockWaitMs <= 1.0;
    }
    std::printf("\n%s\n", allPass ? "all targets met" : "some targets missed");
    return 0;
}
