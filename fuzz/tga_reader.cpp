// libFuzzer target: any byte string as a TGA file through open, readHeader, checkHeader,
// allocate and readPixels, as the layer loader does.

#include "SanitizerDefaults.h"
#include "base/ReadableFile.h"
#include "image/Image.h"
#include "image/TgaFile.h"

#include <cstdint>
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>

using namespace kavelin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = ::memfd_create("tga", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    Result<ReadableFile> file = ReadableFile::open(path);
    if (!file)
        return 0;
    TgaFile tga(std::move(*file));
    Result<TgaInfo> info = tga.readHeader();
    if (!info || !tga.checkHeader())
        return 0;
    // Pictures are at most 65535 x 65535; keep each run small, the size limit has unit tests.
    if (int64_t{info->width} * info->height > (int64_t{1} << 22))
        return 0;
    Image img;
    if (!img.allocate(info->width, info->height))
        return 0;
    (void)tga.readPixels(img);
    // A picture of another size must be refused, not written.
    Image other;
    if (other.allocate(info->width + 1, info->height))
        (void)tga.readPixels(other);
    return 0;
}
