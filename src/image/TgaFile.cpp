#include "image/TgaFile.h"

#include "image/Image.h"
#include "image/PixelExpand.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace kavelin {

namespace {

constexpr int64_t kHeaderSize = 18;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads up to `count` bytes at `offset`, retrying short reads; returns the bytes read, or -1
// when nothing could be read because of an error.
int64_t readAt(int fd, void* buffer, size_t count, int64_t offset) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, static_cast<uint8_t*>(buffer) + done, count - done, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done == 0 && n < 0 ? -1 : static_cast<int64_t>(done);
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

} // namespace

TgaFile::~TgaFile() {
    close();
}

bool TgaFile::open(const char* fileName) {
    close();
    if (fileName == nullptr)
        return false;
    fd_ = ::open(fileName, O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

void TgaFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    headerRead_ = false;
}

bool TgaFile::readHeader(TgaInfo& info) {
    if (fd_ < 0)
        return false;
    uint8_t b[kHeaderSize];
    if (readAt(fd_, b, sizeof b, 0) != kHeaderSize)
        return false;
    header_.idLength = b[0];
    header_.colourMapType = b[1];
    header_.imageType = b[2];
    header_.colourMapFirst = le16(b + 3);
    header_.colourMapLength = le16(b + 5);
    header_.colourMapEntrySize = b[7];
    header_.xOrigin = le16(b + 8);
    header_.yOrigin = le16(b + 10);
    header_.width = le16(b + 12);
    header_.height = le16(b + 14);
    header_.pixelDepth = b[16];
    header_.descriptor = b[17];
    headerRead_ = true;
    info.width = header_.width;
    info.height = header_.height;
    info.bitsPerPixel = header_.pixelDepth;
    return true;
}

bool TgaFile::readPixels(Image& destination) {
    if (fd_ < 0 || !headerRead_ || header_.imageType != 2)
        return false;
    // The caller allocates with the header's size; anything else would be written out of
    // bounds.
    if (destination.pixels() == nullptr || destination.width() != header_.width ||
        destination.height() != header_.height)
        return false;
    const int64_t offset = kHeaderSize + header_.idLength;
    const int origin = header_.descriptor & 0x30;
    if (origin != 0x00 && origin != 0x20)
        return true;
    const bool bottomUp = origin == 0x00;
    if (header_.pixelDepth == 32)
        return readPixels32(destination.pixels(), offset, bottomUp);
    if (header_.pixelDepth == 24)
        return readPixels24(destination.pixels(), offset, bottomUp);
    return true;
}

bool TgaFile::readPixels32(uint8_t* pixels, int64_t offset, bool bottomUp) {
    const int64_t width = header_.width, height = header_.height;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (rowBytes == 0 || height == 0)
        return true;
    if (!bottomUp) {
        const size_t total = rowBytes * static_cast<size_t>(height);
        return readAt(fd_, pixels, total, offset) == static_cast<int64_t>(total);
    }
    // File rows go to the Image bottom row first: scatter them with one call per batch.
    constexpr int kBatch = 256;
    iovec rows[kBatch];
    for (int64_t first = 0; first < height; first += kBatch) {
        const int count = static_cast<int>(std::min<int64_t>(kBatch, height - first));
        for (int i = 0; i < count; ++i)
            rows[i] = {pixels + (height - 1 - first - i) * static_cast<int64_t>(rowBytes),
                       rowBytes};
        const size_t want = rowBytes * static_cast<size_t>(count);
        const int64_t at = offset + first * static_cast<int64_t>(rowBytes);
        size_t done = 0;
        while (done < want) {
            // Skip what an interrupted or short call already filled.
            int skip = static_cast<int>(done / rowBytes);
            iovec* v = rows + skip;
            const size_t within = done % rowBytes;
            v->iov_base = static_cast<uint8_t*>(v->iov_base) + within;
            v->iov_len -= within;
            const ssize_t n = ::preadv(fd_, v, count - skip, at + static_cast<int64_t>(done));
            v->iov_base = static_cast<uint8_t*>(v->iov_base) - within;
            v->iov_len += within;
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
    }
    return true;
}

bool TgaFile::readPixels24(uint8_t* pixels, int64_t offset, bool bottomUp) {
    const int64_t width = header_.width, height = header_.height;
    const int64_t rowBytes = width * 3;
    if (rowBytes == 0 || height == 0)
        return true;
    // Whole rows through a staging buffer of about 128 KiB (at least one row).
    const int64_t rowsPerChunk = std::max<int64_t>(1, (int64_t{128} << 10) / rowBytes);
    std::vector<uint8_t> staging(static_cast<size_t>(std::min(rowsPerChunk, height) * rowBytes));
    for (int64_t first = 0; first < height; first += rowsPerChunk) {
        const int64_t rows = std::min(rowsPerChunk, height - first);
        const int64_t got = readAt(fd_, staging.data(), static_cast<size_t>(rows * rowBytes),
                                   offset + first * rowBytes);
        // A cut file keeps every whole pixel before the cut.
        const int64_t pixelsRead = got < 0 ? 0 : got / 3;
        for (int64_t r = 0; r < rows && r * width < pixelsRead; ++r) {
            const int64_t row = bottomUp ? height - 1 - (first + r) : first + r;
            expand24(pixels + row * width * 4, staging.data() + r * rowBytes,
                     std::min(width, pixelsRead - r * width));
        }
        if (got != rows * rowBytes)
            return false;
    }
    return true;
}

TgaPicture readTgaPicture(const char* path) {
    TgaFile reader;
    TgaInfo info;
    auto image = std::make_unique<Image>();
    if (!reader.open(path) || !reader.readHeader(info) || !image->allocate(info.width, info.height))
        return {};
    const bool complete = reader.readPixels(*image);
    return {std::move(image), complete};
}

} // namespace kavelin
