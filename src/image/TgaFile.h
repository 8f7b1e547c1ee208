#pragma once

#include <cstdint>
#include <memory>

namespace kavelin {

class Image;

struct TgaInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
};

// Reads uncompressed true-colour TGA files (24 or 32 bits per pixel) into Images. Usage: open,
// readHeader, allocate the Image with the header's size, readPixels, close.
class TgaFile {
public:
    TgaFile() = default;
    ~TgaFile();
    TgaFile(const TgaFile&) = delete;
    TgaFile& operator=(const TgaFile&) = delete;

    // Closes any open file first.
    bool open(const char* fileName);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Reads the 18-byte header again at every call.
    bool readHeader(TgaInfo& info);
    // Fills destination, which must have the header's width and height. Type-2 files of depth
    // 24 or 32 with a left-to-right origin are read; other depths and right-to-left origins
    // succeed without reading (a transparent picture); other image types fail. A file cut
    // short fails and keeps the pixels read so far.
    bool readPixels(Image& destination);

private:
    struct Header {
        uint8_t idLength = 0;
        uint8_t colourMapType = 0;
        uint8_t imageType = 0;
        uint16_t colourMapFirst = 0;
        uint16_t colourMapLength = 0;
        uint8_t colourMapEntrySize = 0;
        uint16_t xOrigin = 0;
        uint16_t yOrigin = 0;
        uint16_t width = 0;
        uint16_t height = 0;
        uint8_t pixelDepth = 0;
        uint8_t descriptor = 0;
    };

    bool readPixels32(uint8_t* pixels, int64_t offset, bool bottomUp);
    bool readPixels24(uint8_t* pixels, int64_t offset, bool bottomUp);

    int fd_ = -1;
    bool headerRead_ = false;
    Header header_;
};

// What reading a whole TGA file gave: no picture when the file could not be opened, its header
// read or its picture allocated; a picture that is not complete when the file ended early or
// its pixels could not be read (it keeps what was read).
struct TgaPicture {
    std::unique_ptr<Image> image;
    bool complete = false;
};
TgaPicture readTgaPicture(const char* path);

} // namespace kavelin
