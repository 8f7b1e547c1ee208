#include "net/LineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace kavelin {

LineReader::LineReader(size_t capacity) : buffer_(std::max(capacity, kMaxLine + 1)) {}

LineReader::Cut LineReader::next(char*& line, size_t& length) {
    const size_t pending = end_ - begin_;
    // Only the first kMaxLine + 1 bytes may hold the line feed.
    const size_t window = std::min(pending, kMaxLine + 1);
    char* start = buffer_.data() + begin_;
    auto* feed = static_cast<char*>(std::memchr(start, '\n', window));
    if (feed == nullptr)
        return pending > kMaxLine ? Cut::Overlong : Cut::NeedMore;
    *feed = 0;
    line = start;
    length = static_cast<size_t>(feed - start);
    begin_ += length + 1;
    return Cut::Line;
}

LineReader::Fill LineReader::receive(int fd) {
    if (begin_ == end_) {
        begin_ = end_ = 0;
    } else if (end_ == buffer_.size()) {
        // What is left is less than one line: move it to the front.
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size())
        return Fill::Error; // only reached when the caller skipped an Overlong
    for (;;) {
        const ssize_t n = ::recv(fd, buffer_.data() + end_, buffer_.size() - end_, 0);
        if (n > 0) {
            end_ += static_cast<size_t>(n);
            return Fill::Data;
        }
        if (n == 0)
            return Fill::Closed;
        if (errno != EINTR)
            return Fill::Error;
    }
}

} // namespace kavelin
