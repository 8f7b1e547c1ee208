#include "image/TgaFile.h"

#include "image/Image.h"
#include "image/PixelExpand.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <sys/uio.h>
#include <system_error>

namespace kavelin {

namespace {

constexpr int64_t kHeaderSize = 18;
constexpr uint8_t kTrueColour = 2;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

Result<TgaInfo> TgaFile::readHeader() {
    headerRead_ = false;
    uint8_t b[kHeaderSize];
    if (file_.size() < kHeaderSize)
        return fileError(file_.path(), "is too short for a TGA header");
    if (Status read = file_.readAt(b, sizeof b, 0); !read)
        return read.error();
    header_.idLength = b[0];
    header_.imageType = b[2];
    header_.width = le16(b + 12);
    header_.height = le16(b + 14);
    header_.pixelDepth = b[16];
    header_.descriptor = b[17];
    headerRead_ = true;
    return TgaInfo{header_.width, header_.height, header_.pixelDepth};
}

Status TgaFile::checkHeader() const {
    if (!headerRead_)
        return fileError(file_.path(), "TGA header not read");
    if (header_.imageType != kTrueColour)
        return fileError(file_.path(), "is not an uncompressed true-colour TGA file (image type " +
                                           std::to_string(header_.imageType) + ")");
    const int64_t bytesPerPixel = std::max(1, (header_.pixelDepth + 7) / 8);
    const int64_t needed =
        kHeaderSize + header_.idLength + int64_t{header_.width} * header_.height * bytesPerPixel;
    if (needed > file_.size())
        return fileError(file_.path(), "header claims more than the file holds");
    return done();
}

Status TgaFile::readPixels(Image& destination) {
    if (Status usable = checkHeader(); !usable)
        return usable;
    // The caller allocates with the header's size; anything else would be written out of
    // bounds.
    if (destination.width() != header_.width || destination.height() != header_.height ||
        (destination.pixels() == nullptr && header_.width != 0 && header_.height != 0))
        return fileError(file_.path(), "picture does not have the header's size");
    const int64_t offset = kHeaderSize + header_.idLength;
    const int origin = header_.descriptor & 0x30;
    if (origin != 0x00 && origin != 0x20)
        return done();
    const bool bottomUp = origin == 0x00;
    if (header_.pixelDepth == 32)
        return readPixels32(destination.pixels(), offset, bottomUp);
    if (header_.pixelDepth == 24)
        return readPixels24(destination.pixels(), offset, bottomUp);
    return done();
}

Status TgaFile::readPixels32(uint8_t* pixels, int64_t offset, bool bottomUp) {
    const int64_t width = header_.width, height = header_.height;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (rowBytes == 0 || height == 0)
        return done();
    if (!bottomUp)
        return file_.readAt(pixels, rowBytes * static_cast<size_t>(height), offset);
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
        size_t got = 0;
        while (got < want) {
            // Skip what an interrupted or short call already filled.
            int skip = static_cast<int>(got / rowBytes);
            iovec* v = rows + skip;
            const size_t within = got % rowBytes;
            v->iov_base = static_cast<uint8_t*>(v->iov_base) + within;
            v->iov_len -= within;
            const ssize_t n = ::preadv(file_.fd(), v, count - skip, at + static_cast<int64_t>(got));
            v->iov_base = static_cast<uint8_t*>(v->iov_base) - within;
            v->iov_len += within;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return fileError(file_.path(),
                                 std::error_code(errno, std::generic_category()).message());
            if (n == 0)
                return fileError(file_.path(), "is shorter than expected");
            got += static_cast<size_t>(n);
        }
    }
    return done();
}

Status TgaFile::readPixels24(uint8_t* pixels, int64_t offset, bool bottomUp) {
    const int64_t width = header_.width, height = header_.height;
    const int64_t rowBytes = width * 3;
    if (rowBytes == 0 || height == 0)
        return done();
    // Whole rows through a staging buffer of at most 256 KiB (a row is at most 192 KiB): each
    // read is expanded while it is still in the cache, and the reads stay few, since every call
    // into the system costs about a microsecond. The buffer lives only for this call and is not
    // counted in the memory budget; the picture is.
    constexpr int64_t kStagingBytes = int64_t{256} << 10;
    const int64_t rowsPerChunk = std::max<int64_t>(1, kStagingBytes / rowBytes);
    const auto staging = std::make_unique_for_overwrite<uint8_t[]>(
        static_cast<size_t>(std::min(rowsPerChunk, height) * rowBytes));
    for (int64_t first = 0; first < height; first += rowsPerChunk) {
        const int64_t rows = std::min(rowsPerChunk, height - first);
        if (Status read = file_.readAt(staging.get(), static_cast<size_t>(rows * rowBytes),
                                       offset + first * rowBytes);
            !read)
            return read;
        for (int64_t r = 0; r < rows; ++r) {
            const int64_t row = bottomUp ? height - 1 - (first + r) : first + r;
            expand24(pixels + row * width * 4, staging.get() + r * rowBytes, width);
        }
    }
    return done();
}

Result<std::unique_ptr<Image>> TgaFile::readPicture() {
    if (Status usable = checkHeader(); !usable)
        return usable.error();
    auto image = std::make_unique<Image>();
    if (!image->allocate(header_.width, header_.height))
        return fileError(file_.path(), "a picture of " + std::to_string(header_.width) + " x " +
                                           std::to_string(header_.height) + " cannot be allocated");
    if (Status read = readPixels(*image); !read)
        return read.error();
    return image;
}

Result<std::unique_ptr<Image>> readTgaPicture(ReadableFile file) {
    TgaFile reader(std::move(file));
    if (Result<TgaInfo> info = reader.readHeader(); !info)
        return info.error();
    return reader.readPicture();
}

Result<std::unique_ptr<Image>> readTgaPicture(const MediaFolder& media, const std::string& path) {
    Result<ReadableFile> file = media.openFile(path);
    if (!file)
        return file.error();
    return readTgaPicture(std::move(*file));
}

} // namespace kavelin
