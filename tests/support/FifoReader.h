#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace kavelin::test {

// The reading end of a FIFO, opened without waiting for a writer. Before any writer has come, a
// read simply finds nothing; once the writer has gone, the stream has ended.
class FifoReader {
public:
    explicit FifoReader(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~FifoReader() { ::close(fd_); }
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;

    bool ended() const { return ended_; }
    // Appends bytes to `out` until it holds `size` bytes, the stream ends or `ms` have passed;
    // true when `out` holds `size` bytes.
    bool fill(std::string& out, size_t size, int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.size() < size && !ended_ && std::chrono::steady_clock::now() < deadline) {
            // A FIFO reports a hang-up only once a writer has come and gone.
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            char chunk[1 << 16];
            const ssize_t n = ::read(fd_, chunk, std::min(sizeof chunk, size - out.size()));
            out.append(chunk, size_t(std::max<ssize_t>(n, 0)));
            ended_ = n == 0;
        }
        return out.size() >= size;
    }

private:
    int fd_;
    bool ended_ = false;
};

// FNV-1a, 64 bits.
inline uint64_t fnv1a(std::string_view bytes) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return hash;
}

} // namespace kavelin::test
