#include "image/PngFile.h"

#include "image/FrameBuffer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

namespace kavelin {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// libpng reports errors by longjmp; everything that needs destruction lives outside that scope.
bool encode(std::FILE* file, const FrameBuffer& frame, std::vector<uint8_t>& row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width()),
                 static_cast<png_uint_32>(frame.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < frame.height(); ++y) {
        const uint8_t* src = frame.pixels() + static_cast<ptrdiff_t>(y) * frame.pitch();
        for (int32_t x = 0; x < frame.width(); ++x) {
            row[x * 4 + 0] = src[x * 4 + 2];
            row[x * 4 + 1] = src[x * 4 + 1];
            row[x * 4 + 2] = src[x * 4 + 0];
            row[x * 4 + 3] = src[x * 4 + 3];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const FrameBuffer& frame, const std::string& path) {
    if (frame.width() <= 0 || frame.height() <= 0)
        return false;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    std::vector<uint8_t> row(static_cast<size_t>(frame.width()) * 4);
    if (!encode(file.get(), frame, row))
        return false;
    return std::fflush(file.get()) == 0 && !std::ferror(file.get());
}

} // namespace kavelin
