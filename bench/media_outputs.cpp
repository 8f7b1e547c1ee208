// The media outputs on this machine: what a frame costs each of them, and whether a raw output
// beside them keeps its pace.
//
// Cost per frame (Google Benchmark): each form's pipeline, exactly as planned for the output
// (mkv: FFV1; mov: ProRes 4444; srt and udp: H.264 in MPEG-TS, nobody receiving; webm: VP9
// without alpha), takes N frames of a moving picture as fast as it can, from the first frame
// into its queue (deep enough that none is dropped) until the end of the stream has passed its
// last element. Printed per form and format: wall-clock and CPU time (every thread of the
// process) per frame, against the frame period, and beside the reference measured in the same
// run: one copy of the frame (memcpy), which every output pays at least.
//
// Pacing: the server (the Application in this process, pal, the steady clock) with a raw output
// on a FIFO, an H.264 stream (udp:// to loopback, nobody receiving) and a ProRes 4444
// recording, a crawl moving over a full-frame picture. A thread here reads whole frames from the
// FIFO and notes when each arrived: frames per second (target 25.00 +- 0.05) and the largest
// gap (target <= 80 ms). The references: the same run with the raw output alone, just before,
// and in each run a bare thread waking on its own 40 ms grid.
//
//   build/bench/bench_media_outputs [--pacing-seconds=S] [benchmark options]   (default S: 20;
//                                                                               0 skips it)

#include "BenchSummary.h"
#include "NullLog.h"
#include "PacingHarness.h"

#include "app/OutputMaker.h"
#include "image/TgaWriter.h"
#include "outputs/media/GStreamerStart.h"
#include "outputs/media/MediaPipeline.h"
#include "outputs/media/MediaPlan.h"

#include <ctime>
#include <map>

using namespace kavelin;
using namespace kavelin::bench;

namespace {

struct Cost {
    double wallMs = 0; // per frame
    double cpuMs = 0;  // per frame, every thread
    int64_t frames = 0;
};

std::map<std::string, Cost>& costs() {
    static std::map<std::string, Cost> all;
    return all;
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Eight pictures of a moving scene, as the engine would compose them: a gradient, a box that
// moves, and a band whose alpha runs from 0 to 255.
std::vector<std::shared_ptr<Frame>> movingPictures(FramePool& pool, const Format& format) {
    std::vector<std::shared_ptr<Frame>> frames;
    for (int k = 0; k < 8; ++k) {
        std::shared_ptr<Frame> frame = pool.acquire();
        FrameBuffer& pixels = *frame->pixels;
        for (int32_t y = 0; y < format.height; ++y) {
            auto* row =
                reinterpret_cast<uint32_t*>(pixels.pixels() + ptrdiff_t(y) * pixels.pitch());
            for (int32_t x = 0; x < format.width; ++x) {
                uint32_t argb = 0xFF000000u | uint32_t(x * 255 / format.width) << 16 |
                                uint32_t(y * 255 / format.height) << 8 | 0x40;
                if (y > format.height * 3 / 4)
                    argb = uint32_t(x * 255 / format.width) << 24 | 0x2060A0u;
                const int32_t left = format.width / 8 + k * format.width / 32;
                if (x >= left && x < left + format.width / 6 && y >= format.height / 4 &&
                    y < format.height / 2)
                    argb = 0xFFE0C020u ^ (uint32_t(x ^ y) & 0x0F0F0F);
                row[x] = argb;
            }
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::string formOutput(const std::string& form, const Folder& folder) {
    if (form == "mkv" || form == "mov")
        return folder.file("bench." + form);
    if (form == "webm")
        return folder.file("bench.webm?alpha=off");
    const std::string port = std::to_string(freePort());
    if (form == "srt")
        return "srt://127.0.0.1:" + port + "?mode=listener";
    return "udp://127.0.0.1:" + port;
}

void outputCost(benchmark::State& state, const std::string& form, const std::string& formatName) {
    const Format format = *parseFormat(formatName);
    const int64_t frames = format.height <= 576 ? 100 : 50;
    Folder folder;
    Result<MediaPlan> plan = planMediaOutput(formOutput(form, folder), format);
    if (!plan || !startGStreamer()) {
        state.SkipWithError(plan ? "GStreamer cannot start" : plan.reason().c_str());
        return;
    }
    FramePool pool(format.width, format.height);
    const std::vector<std::shared_ptr<Frame>> pictures = movingPictures(pool, format);
    double wall = 0, cpu = 0;
    int64_t number = 0;
    for (auto _ : state) {
        Result<std::unique_ptr<MediaPipeline>> pipeline =
            MediaPipeline::build(plan->pipeline, format, unsigned(frames) + 1);
        if (!pipeline || !(*pipeline)->start(std::chrono::seconds(5))) {
            state.SkipWithError("the pipeline does not start");
            return;
        }
        const double cpuFrom = cpuSeconds();
        const Clock::time_point from = Clock::now();
        for (int64_t i = 0; i < frames; ++i) {
            Frame& frame = *pictures[size_t(i) % pictures.size()];
            frame.number = ++number;
            (*pipeline)->push(frame);
        }
        const Status finished = (*pipeline)->finish(std::chrono::seconds(120));
        const double seconds = std::chrono::duration<double>(Clock::now() - from).count();
        if (!finished) {
            state.SkipWithError(finished.reason().c_str());
            return;
        }
        state.SetIterationTime(seconds);
        wall += seconds;
        cpu += cpuSeconds() - cpuFrom;
    }
    const double all = double(state.iterations() * frames);
    costs()[form + "/" + formatName] = {wall * 1000 / all, cpu * 1000 / all, frames};
    state.counters["ms_per_frame"] = wall * 1000 / all;
    state.counters["cpu_ms_per_frame"] = cpu * 1000 / all;
}

void copyCost(benchmark::State& state, const std::string& formatName) {
    const Format format = *parseFormat(formatName);
    const size_t bytes = size_t(format.width) * size_t(format.height) * 4;
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

const char* const kForms[] = {"mkv", "mov", "srt", "udp", "webm"};
const char* const kFormats[] = {"pal", "1080p50"};

void summary(const CapturingReporter& reporter) {
    std::printf("cost per frame: wall-clock ms (CPU ms, every thread), and as a multiple of one "
                "copy of the frame measured in this run\n");
    for (const char* formatName : kFormats) {
        const Format format = *parseFormat(formatName);
        const double periodMs = 1000.0 / format.rate.perSecond();
        const double copyMs = reporter.realSeconds(std::string("copy/") + formatName) * 1000;
        std::printf("\n  %s (%d x %d, a frame every %.0f ms); reference, one copy of the frame: "
                    "%.3f ms\n",
                    formatName, format.width, format.height, periodMs, copyMs);
        for (const char* form : kForms) {
            const auto found = costs().find(std::string(form) + "/" + formatName);
            if (found == costs().end()) {
                std::printf("    %-5s not measured\n", form);
                continue;
            }
            const Cost& c = found->second;
            std::printf("    %-5s %8.2f ms (CPU %7.2f ms) = %6.0f copies   %s the frame period\n",
                        form, c.wallMs, c.cpuMs, ratio(c.wallMs, copyMs),
                        c.wallMs <= periodMs ? "within" : "OVER");
        }
    }
}

// A full-frame picture under a crawl: the encoders get a moving picture, as on air.
std::vector<std::string> pacingScene(const Folder& folder) {
    std::vector<uint32_t> still(size_t{kWidth} * kHeight), crawl(4096 * 64);
    for (size_t i = 0; i < still.size(); ++i)
        still[i] = 0xFF000000u | uint32_t(i % kWidth * 255 / kWidth) << 16 |
                   uint32_t(i / kWidth * 255 / kHeight) << 8 | 0x30;
    for (size_t i = 0; i < crawl.size(); ++i)
        crawl[i] = 0xFF000000u | uint32_t((i % 4096) * 2654435761u >> 8 & 0xFFFFFF);
    auto write = [](const std::string& path, int w, int h, const std::vector<uint32_t>& pixels) {
        const auto header = tgaHeader(uint16_t(w), uint16_t(h), 32, true);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr)
            return false;
        const bool written = std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
                             std::fwrite(pixels.data(), 4, pixels.size(), f) == pixels.size();
        return std::fclose(f) == 0 && written;
    };
    if (!write(folder.file("still.tga"), kWidth, kHeight, still) ||
        !write(folder.file("crawl.tga"), 4096, 64, crawl))
        return {};
    return {"116",         "121 0",      "63 0 " + folder.file("still.tga"),
            "75 0",        "121 0",      "63 1 " + folder.file("crawl.tga"),
            "67 1 720 64", "66 1 0 460", "79 1 0 0 2 1 4 0",
            "80 1",        "75 1"};
}

// One run of the server with the raw output, beside the stream and the recording or alone.
void pacing(double seconds, bool beside) {
    Folder folder;
    const std::string fifo = folder.file("frames.raw");
    const std::vector<std::string> scene = pacingScene(folder);
    if (!folder.made() || ::mkfifo(fifo.c_str(), 0600) != 0 || scene.empty()) {
        std::printf("pacing: cannot make the FIFO or the pictures\n");
        return;
    }
    NullLog log;
    FifoReader reader(fifo);
    auto written = std::make_shared<WrittenFrames>();
    std::vector<std::string> outputs = {"raw:" + fifo};
    if (beside)
        outputs.insert(outputs.end(), {"udp://127.0.0.1:" + std::to_string(freePort()),
                                       folder.file("beside.mov")});
    auto server = std::make_unique<InProcessServer>(
        log, outputs, [&](const std::string& output) -> Result<std::unique_ptr<FrameConsumer>> {
            Result<std::unique_ptr<FrameConsumer>> made = makeOutput(output, Format{}, log);
            if (!made || output.rfind("raw:", 0) != 0)
                return made;
            return std::unique_ptr<FrameConsumer>(
                std::make_unique<NotedOutput>(std::move(*made), written));
        });
    std::string problem;
    Client client(server->port());
    bool ready = server->ready();
    for (const std::string& line : scene)
        ready = ready && expect(client, line, "OK", problem);
    for (int i = 0; i < 500 && reader.frames() < 25; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!ready || reader.frames() < 25) {
        std::printf("pacing: the server did not start or show the scene %s\n", problem.c_str());
        return;
    }

    const EngineStats before = server->engine().stats();
    const std::vector<OutputStatus> outputsBefore = server->engine().outputs();
    const std::string loadBefore = loadAverage();
    const Clock::time_point from = Clock::now();
    const Clock::time_point until =
        from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    WakeReference reference(until);
    std::this_thread::sleep_until(until);
    const Clock::time_point to = Clock::now();
    const EngineStats after = server->engine().stats();
    const std::vector<OutputStatus> outputsAfter = server->engine().outputs();
    server.reset();
    reader.finish();

    Figures f = figuresOf(reader.arrivals(), written->entries(), from, to);
    reference.result(f);
    std::printf("\npacing of raw:FIFO %s at pal, %.0f s (1-minute load average %s before, %s "
                "after)\n",
                beside ? "beside an H.264 stream (udp://) and a ProRes 4444 recording (.mov)"
                       : "alone, as the reference",
                seconds, loadBefore.c_str(), loadAverage().c_str());
    if (!f.valid) {
        std::printf("    no figures: too few frames reached the reader\n");
        return;
    }
    std::printf("    frames at the reader      %zu; engine: %llu made, %llu late, %llu skipped\n",
                f.frames, static_cast<unsigned long long>(after.frames - before.frames),
                static_cast<unsigned long long>(after.late - before.late),
                static_cast<unsigned long long>(after.skipped - before.skipped));
    for (size_t i = 0; i < outputsAfter.size() && i < outputsBefore.size(); ++i)
        std::printf(
            "      %-40.40s delivered %llu, dropped %llu, %s\n", outputsAfter[i].name.c_str(),
            static_cast<unsigned long long>(outputsAfter[i].delivered - outputsBefore[i].delivered),
            static_cast<unsigned long long>(outputsAfter[i].dropped - outputsBefore[i].dropped),
            outputStateName(outputsAfter[i].state));
    std::printf("    frames per second         %8.3f   (target 25.00 +- 0.05)   %s\n", f.fps,
                verdict(passFps(f.fps)));
    std::printf("    largest gap               %8.1f ms (target <= 80 ms)       %s\n",
                f.largestGapMs, verdict(f.largestGapMs <= 80.0));
    std::printf("    within 5 ms of deadline   %8.2f %%\n", f.withinShare * 100);
    std::printf("      reference, a bare thread waking every 40 ms: %.2f %% within 5 ms, 99th "
                "percentile %.2f ms late, max %.2f ms\n",
                f.referenceShare * 100, f.referenceP99Ms, f.referenceMaxMs);
}

} // namespace

int main(int argc, char** argv) {
    double pacingSeconds = 20;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--pacing-seconds=", 0) == 0)
            pacingSeconds = std::max(0.0, std::atof(arg.c_str() + 17));
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    for (const char* formatName : kFormats) {
        benchmark::RegisterBenchmark((std::string("copy/") + formatName).c_str(), copyCost,
                                     std::string(formatName));
        for (const char* form : kForms)
            benchmark::RegisterBenchmark((std::string("output/") + form + "/" + formatName).c_str(),
                                         outputCost, std::string(form), std::string(formatName))
                ->UseManualTime()
                ->Iterations(2)
                ->Unit(benchmark::kMillisecond);
    }
    const int result = runAndSummarise(count, args.data(), summary);
    if (result == 0 && pacingSeconds > 0) {
        pacing(pacingSeconds, false);
        pacing(pacingSeconds, true);
    }
    return result;
}
