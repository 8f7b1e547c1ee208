#include "engine/StreamLogWriter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace kavelin {

namespace {

// A burst of long lines does not keep its memory for ever.
constexpr size_t kKeptBytes = 1 << 20;

} // namespace

void StreamLogWriter::write(std::span<const LogLine> lines) {
    buffer_.clear();
    for (const LogLine& line : lines) {
        if (!style_.plain()) {
            if (line.kind == LogLine::Kind::Diagnostic || lines_ == Lines::All)
                appendStyled(buffer_, line, style_);
        } else if (line.kind == LogLine::Kind::Diagnostic) {
            buffer_ += line.text;
        } else if (lines_ == Lines::All) {
            buffer_ += line.text;
            buffer_ += '\n';
        }
    }
    writeAll(buffer_.data(), buffer_.size());
    if (buffer_.capacity() > kKeptBytes)
        std::string().swap(buffer_);
}

bool StreamLogWriter::writeAll(const char* data, size_t size) {
    // Waits for room before each piece, a little at a time, so that a stream nobody drains
    // holds this thread only until the log closes. A piece of at most PIPE_BUF bytes fits
    // once a pipe reports room.
    constexpr size_t kPiece = PIPE_BUF;
    size_t done = 0;
    while (done < size) {
        if (interrupted_)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        if (ready < 0 || (p.revents & (POLLERR | POLLNVAL)) != 0)
            return false;
        const ssize_t n = ::write(fd_, data + done, std::min(size - done, kPiece));
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false; // closed (EPIPE) or broken: the line is lost
    }
    return true;
}

} // namespace kavelin
