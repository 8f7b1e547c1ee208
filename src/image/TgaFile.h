#pragma once

#include "base/MediaFolder.h"
#include "base/ReadableFile.h"
#include "base/Result.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kavelin {

class Image;

struct TgaInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
};

// Reads uncompressed true-colour TGA files (24 or 32 bits per pixel) into Images. Usage:
// readHeader, checkHeader, allocate the Image with the header's size, readPixels. Failures name
// the file and say what is wrong with it.
class TgaFile {
public:
    explicit TgaFile(ReadableFile file) : file_(std::move(file)) {}

    // Reads the 18-byte header.
    Result<TgaInfo> readHeader();
    // The header read describes a picture this reader takes (image type 2) and the file holds
    // all of its pixels; checked before the picture is allocated. Every pixel counts its depth
    // in whole bytes, at least one, so an accepted file never asks for more than four bytes of
    // picture for each of its own bytes.
    Status checkHeader() const;
    // Fills destination, which must have the header's width and height. Depths 24 and 32 with
    // a left-to-right origin are read; other depths and right-to-left origins succeed without
    // reading (a transparent picture). Fails when the file cannot be read whole.
    Status readPixels(Image& destination);
    // After readHeader: checkHeader, a new picture of the header's size, readPixels.
    Result<std::unique_ptr<Image>> readPicture();

    const ReadableFile& file() const { return file_; }

private:
    struct Header {
        uint8_t idLength = 0;
        uint8_t imageType = 0;
        uint16_t width = 0;
        uint16_t height = 0;
        uint8_t pixelDepth = 0;
        uint8_t descriptor = 0;
    };

    Status readPixels32(uint8_t* pixels, int64_t offset, bool bottomUp);
    Status readPixels24(uint8_t* pixels, int64_t offset, bool bottomUp);

    ReadableFile file_;
    bool headerRead_ = false;
    Header header_;
};

// The whole picture of a TGA file, or why there is none: a load either gives every pixel of the
// file or nothing at all.
Result<std::unique_ptr<Image>> readTgaPicture(ReadableFile file);
// The same for the file at path, opened in media.
Result<std::unique_ptr<Image>> readTgaPicture(const MediaFolder& media, const std::string& path);

} // namespace kavelin
