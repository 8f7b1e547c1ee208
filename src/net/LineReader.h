#pragma once

#include <cstddef>
#include <vector>

namespace kavelin {

// Cuts a client's byte stream into lines ended by a line feed. Bytes are received in large
// chunks and lines are cut out of the buffer, so a burst of pipelined lines costs one receive;
// bytes behind a line feed stay buffered for the next line.
class LineReader {
public:
    // Bytes a line may hold before its line feed.
    static constexpr size_t kMaxLine = 1023;

    explicit LineReader(size_t capacity = 64 * 1024);

    enum class Cut {
        Line,     // a complete line was taken from the buffer
        NeedMore, // no complete line is buffered yet
        Overlong, // kMaxLine + 1 bytes arrived without a line feed among them
    };
    // Takes the next buffered line. The line stays in the buffer, with a NUL over its line
    // feed at line[length], until the next `receive`. Zero bytes inside it are kept.
    Cut next(char*& line, size_t& length);

    enum class Fill { Data, Closed, Error };
    // One receive from the socket into the free end of the buffer.
    Fill receive(int fd);

    // Bytes received and not yet taken as lines: the start of a line.
    size_t pending() const { return end_ - begin_; }

    // Forgets every buffered byte (a new client).
    void clear() { begin_ = end_ = 0; }

private:
    std::vector<char> buffer_;
    size_t begin_ = 0; // first unread byte
    size_t end_ = 0;   // one past the last received byte
};

} // namespace kavelin
