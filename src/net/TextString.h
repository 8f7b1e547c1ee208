#pragma once

#include <cstdint>
#include <memory>

namespace kavelin {

// Heap text for results and replies: always NUL-terminated, never absent once constructed.
class TextString {
public:
    TextString();
    explicit TextString(const char* text);
    // Formats at most maxLength bytes; longer output is cut at maxLength.
    TextString(int32_t maxLength, const char* format, ...) __attribute__((format(printf, 3, 4)));
    virtual ~TextString() = default;

    TextString(const TextString&) = delete;
    TextString& operator=(const TextString&) = delete;

    // A missing or empty text empties the string and returns false.
    bool assign(const char* text);
    // A missing or empty text leaves the string unchanged and returns false.
    bool append(const char* text);
    bool append(const TextString* other);
    // Copies bytes [from, to) to dest + offset; writes no NUL.
    bool copyRange(int32_t from, int32_t to, char* dest, int32_t offset) const;

    const char* text() const { return text_.get(); }
    int32_t length() const { return length_; }

private:
    bool appendBytes(const char* bytes, int32_t count);

    std::unique_ptr<char[]> text_;
    int32_t length_ = 0;
};

} // namespace kavelin
