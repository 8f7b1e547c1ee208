// libFuzzer target: a glyph sheet, a spacing file and a text from one byte string, through
// the sprite-font loader and both layouts. Input: two bytes giving the sheet's length, the
// sheet, then the spacing file up to a zero byte, then the text.

#include "SanitizerDefaults.h"
#include "image/Image.h"
#include "text/SpriteFont.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

using namespace kavelin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t sheetLength = std::min<size_t>(data[0] | data[1] << 8, size - 2);
    const uint8_t* sheet = data + 2;
    // Keep each run small; huge sheets have unit tests.
    if (sheetLength >= 16 &&
        int64_t{sheet[12] | sheet[13] << 8} * (sheet[14] | sheet[15] << 8) > 1 << 20)
        return 0;
    static const int fd = ::memfd_create("sheet", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, sheet, sheetLength, 0) != ssize_t(sheetLength))
        return 0;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);

    const char* rest = reinterpret_cast<const char*>(sheet + sheetLength);
    const size_t restLength = size - 2 - sheetLength;
    const size_t spacingLength = strnlen(rest, restLength);
    std::string text(rest + std::min(spacingLength + 1, restLength), rest + restLength);
    text = text.substr(0, std::min<size_t>(strnlen(text.c_str(), text.size()), 511));

    SpriteFont font;
    (void)font.load(path, text.empty() ? 255 : static_cast<uint8_t>(text[0]));
    font.readSpacing(std::string_view(rest, spacingLength));
    (void)font.loadEffect(200); // /proc paths derive no name beside them
    Image target;
    if (!target.allocate(97, 61))
        return 0;
    std::string copy = text;
    font.drawString(copy.data(), &target, -3, 5, 0, 1, 0);
    copy = text;
    font.drawString(copy.data(), &target, 7, -2, 2, 2, 1 + (text.size() % 13));
    font.measureRun(text.c_str(), 0, static_cast<int32_t>(text.size()));
    return 0;
}
