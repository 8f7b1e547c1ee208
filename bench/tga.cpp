// TgaFile::readPixels of 720 x 576 files from the page cache, beside one read of the same bytes;
// also open and readTgaPicture, the whole reading a command does (open, header, a new picture,
// pixels), and each 24-bit expander on one picture's rows. The headline: a 24-bit read should
// reach 0.8 of the raw read's bytes per second.

#include "BenchSummary.h"

#include "base/ReadableFile.h"
#include "image/Image.h"
#include "image/PixelExpand.h"
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

// 0 scalar, 1 AVX2, 2 AVX-512: a picture's rows from a 256 KiB source that stays in the cache.
void BM_expand24(benchmark::State& state) {
    const int version = static_cast<int>(state.range(0));
    if ((version == 1 && !__builtin_cpu_supports("avx2")) ||
        (version == 2 && !avx512ExpandSupported())) {
        state.SkipWithError("not on this processor");
        return;
    }
    void (*expand)(uint8_t*, const uint8_t*, int64_t) = version == 0   ? expand24Scalar
                                                        : version == 1 ? expand24Avx2
                                                                       : expand24Avx512;
    constexpr int kRows = (256 << 10) / (kW * 3);
    std::vector<uint8_t> source(size_t{kRows} * kW * 3, 7);
    Image img;
    if (!img.allocate(kW, kH)) {
        state.SkipWithError("cannot allocate");
        return;
    }
    for (auto _ : state)
        for (int row = 0; row < kH; ++row)
            expand(img.pixels() + size_t(row) * kW * 4, source.data() + (row % kRows) * kW * 3, kW);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 3);
}

BENCHMARK(BM_rawRead)->Arg(32)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_readPixels)->Arg(32)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_readTgaPicture)->Arg(32)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_expand24)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

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
    const double bytes24 = 18.0 + double{kW} * kH * 3;
    const double read24 = r.seconds("BM_readPixels/24"), raw24 = r.seconds("BM_rawRead/24");
    const double headline = bench::ratio(raw24, read24);
    std::printf("  expand24 (one picture's rows): scalar %.1f us, AVX2 %.1f us, AVX-512 %.1f us\n",
                r.seconds("BM_expand24/0") * 1e6, r.seconds("BM_expand24/1") * 1e6,
                r.seconds("BM_expand24/2") * 1e6);
    std::printf("24-bit readPixels: %.2f GB/s against a raw read of the same bytes %.2f GB/s: "
                "ratio %.2f (at least 0.80): %s\n",
                read24 > 0 ? bytes24 / read24 / 1e9 : 0.0, raw24 > 0 ? bytes24 / raw24 / 1e9 : 0.0,
                headline, headline >= 0.8 ? "PASS" : "FAIL");
}

} // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarise(argc, argv, summary);
}
