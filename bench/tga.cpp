// TgaFile::readPixels of 720 x 576 files from the page cache, beside one read of the same bytes;
// also open and readTgaPicture, the whole reading a command does (open, header, a new picture,
// pixels).

#include "BenchSummary.h"

#include "base/ReadableFile.h"
#include "image/Image.h"
#include "image/TgaFile.h"

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kavelin;

namespace {

constexpr int kW = 720, kH = 576;

std::string tempPath(int depth) {
    char path[64];
    std::snprintf(path, sizeof path, "/tmp/kavelin_bench_%d_%d.tga", static_cast<int>(::getpid()),
                  depth);
    return path;
}

size_t writeFile(int depth) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = kW & 0xFF;
    bytes[13] = kW >> 8;
    bytes[14] = kH & 0xFF;
    bytes[15] = kH >> 8;
    bytes[16] = static_cast<uint8_t>(depth);
    std::mt19937 rng(depth);
    for (int i = 0; i < kW * kH * depth / 8; ++i)
        bytes.push_back(static_cast<uint8_t>(rng()));
    FILE* f = std::fopen(tempPath(depth).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return bytes.size();
}

void BM_readPixels(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const size_t size = writeFile(depth);
    Result<ReadableFile> file = ReadableFile::open(tempPath(depth));
    if (!file) {
        state.SkipWithError("cannot open the file");
        return;
    }
    TgaFile tga(std::move(*file));
    Result<TgaInfo> info = tga.readHeader();
    Image img;
    if (!info || !img.allocate(info->width, info->height)) {
        state.SkipWithError("cannot prepare the file");
        return;
    }
    for (auto _ : state)
        if (!tga.readPixels(img))
            state.SkipWithError("readPixels failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_readTgaPicture(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const size_t size = writeFile(depth);
    const std::string path = tempPath(depth);
    for (auto _ : state) {
        Result<std::unique_ptr<Image>> picture = readTgaPicture(MediaFolder::none(), path);
        if (!picture)
            state.SkipWithError("readTgaPicture failed");
        else
            benchmark::DoNotOptimize(picture->get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_rawRead(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    const size_t size = writeFile(depth);
    const int fd = ::open(tempPath(depth).c_str(), O_RDONLY);
    std::vector<uint8_t> buffer(size);
    for (auto _ : state)
        if (::pread(fd, buffer.data(), size, 0) != static_cast<ssize_t>(size))
            state.SkipWithError("read failed");
    ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

BENCHMARK(BM_rawRead)->Arg(32)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_readPixels)->Arg(32)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_readTgaPicture)->Arg(32)->Arg(24)->Unit(benchmark::kMicrosecond);

void summary(const bench::CapturingReporter& r) {
    std::printf("Summary (720 x 576 TGA files in the page cache)\n");
    for (int depth : {32, 24}) {
        const double bytes = 18.0 + double{kW} * kH * depth / 8;
        char raw32[32], ours32[32], whole32[40];
        std::snprintf(raw32, sizeof raw32, "BM_rawRead/%d", depth);
        std::snprintf(ours32, sizeof ours32, "BM_readPixels/%d", depth);
        std::snprintf(whole32, sizeof whole32, "BM_readTgaPicture/%d", depth);
        const double raw = r.seconds(raw32), ours = r.seconds(ours32), whole = r.seconds(whole32);
        auto gbs = [&](double s) { return s > 0 ? bytes / s / 1e9 : 0.0; };
        std::printf("  %d-bit: readPixels %.2f GB/s, one read %.2f GB/s: ratio %.2f; "
                    "readTgaPicture %.2f GB/s: ratio %.2f\n",
                    depth, gbs(ours), gbs(raw), bench::ratio(gbs(ours), gbs(raw)), gbs(whole),
                    bench::ratio(gbs(whole), gbs(raw)));
        std::remove(tempPath(depth).c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarise(argc, argv, summary);
}
