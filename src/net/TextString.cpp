#include "net/TextString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace kavelin {

TextString::TextString() : text_(new char[1]{0}) {}

TextString::TextString(const char* text) : TextString() {
    assign(text);
}

TextString::TextString(int32_t maxLength, const char* format, ...) : TextString() {
    if (format == nullptr || maxLength < 0)
        return;
    auto buffer = std::unique_ptr<char[]>(new char[static_cast<size_t>(maxLength) + 1]);
    va_list args;
    va_start(args, format);
    const int written =
        std::vsnprintf(buffer.get(), static_cast<size_t>(maxLength) + 1, format, args);
    va_end(args);
    if (written < 0) {
        buffer[0] = 0;
        length_ = 0;
    } else {
        length_ = written > maxLength ? maxLength : written;
        buffer[length_] = 0;
    }
    text_ = std::move(buffer);
}

bool TextString::assign(const char* text) {
    if (text == nullptr || text[0] == 0) {
        text_.reset(new char[1]{0});
        length_ = 0;
        return false;
    }
    const size_t n = std::strlen(text);
    auto copy = std::unique_ptr<char[]>(new char[n + 1]);
    std::memcpy(copy.get(), text, n + 1);
    text_ = std::move(copy);
    length_ = static_cast<int32_t>(n);
    return true;
}

bool TextString::appendBytes(const char* bytes, int32_t count) {
    auto joined = std::unique_ptr<char[]>(new char[static_cast<size_t>(length_) + count + 1]);
    std::memcpy(joined.get(), text_.get(), static_cast<size_t>(length_));
    std::memcpy(joined.get() + length_, bytes, static_cast<size_t>(count));
    length_ += count;
    joined[length_] = 0;
    text_ = std::move(joined);
    return true;
}

bool TextString::append(const char* text) {
    if (text == nullptr || text[0] == 0)
        return false;
    return appendBytes(text, static_cast<int32_t>(std::strlen(text)));
}

bool TextString::append(const TextString* other) {
    if (other == nullptr || other->length_ == 0)
        return false;
    return appendBytes(other->text_.get(), other->length_);
}

bool TextString::copyRange(int32_t from, int32_t to, char* dest, int32_t offset) const {
    if (dest == nullptr || from < 0 || from >= to || to > length_ || offset < 0)
        return false;
    std::memcpy(dest + offset, text_.get() + from, static_cast<size_t>(to - from));
    return true;
}

} // namespace kavelin
