#include "outputs/RawOutput.h"

#include "engine/LogSink.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavelin {

namespace {

// A larger pipe takes a whole frame of standard definition at once where the system allows it.
constexpr int kPipeBytes = 1 << 20;

std::string systemReason() {
    return std::strerror(errno);
}

// A reader that leaves a FIFO makes a write raise SIGPIPE; on this thread it stays pending (and
// is taken back below) so that only the write fails, whatever the process does with the signal.
void holdBrokenPipeSignals() {
    thread_local bool held = false;
    if (held)
        return;
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    held = true;
}

void dropPendingBrokenPipe() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec now{0, 0};
    while (sigtimedwait(&pipe, nullptr, &now) > 0) {
    }
}

// True when the FIFO's reader has gone since the last frame: the next reader must not find the
// rest of an old frame, so the stream starts over.
bool readerGone(int fd) {
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP)) != 0;
}

} // namespace

RawOutput::RawOutput(std::string path, LogSink& log) : path_(std::move(path)), log_(log) {}

RawOutput::~RawOutput() {
    closeStream();
}

Status RawOutput::open() {
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
        fifo_ = true;
        openFifoWriter(); // no reader yet is no failure
        return done();
    }
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return failure("cannot write " + path_ + ": " + systemReason());
    return done();
}

bool RawOutput::openFifoWriter() {
    // Non-blocking: without a reader the open fails at once (ENXIO) instead of waiting.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    ::fcntl(fd_, F_SETPIPE_SZ, kPipeBytes);
    return true;
}

void RawOutput::closeStream() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool RawOutput::consume(const Frame& frame, const std::atomic<bool>& stopping) {
    holdBrokenPipeSignals();
    if (fifo_ && fd_ >= 0 && readerGone(fd_))
        closeStream();
    if (fd_ < 0 && (!fifo_ || !openFifoWriter()))
        return false;
    if (writeFrame(frame, stopping))
        return true;
    dropPendingBrokenPipe();
    if (fifo_) {
        closeStream(); // the reader left; the next one starts at a frame's beginning
    } else if (!failed_) {
        failed_ = true;
        log_.log("ERROR (raw output) : cannot write %s: %s", path_.c_str(), systemReason().c_str());
        closeStream();
    }
    return false;
}

bool RawOutput::writeFrame(const Frame& frame, const std::atomic<bool>& stopping) {
    const FrameBuffer& pixels = *frame.pixels;
    const size_t rowBytes = static_cast<size_t>(pixels.width()) * 4;
    const bool packed = static_cast<size_t>(pixels.pitch()) == rowBytes;
    const size_t total = packed ? rowBytes * static_cast<size_t>(pixels.height()) : rowBytes;
    for (int32_t y = 0; y < (packed ? 1 : pixels.height()); ++y) {
        const uint8_t* data = pixels.pixels() + static_cast<ptrdiff_t>(y) * pixels.pitch();
        size_t done = 0;
        while (done < total) {
            const ssize_t n = ::write(fd_, data + done, total - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return false;
            // A FIFO whose reader is slow: wait for room, a little at a time.
            pollfd p{fd_, POLLOUT, 0};
            while (!stopping && ::poll(&p, 1, 50) == 0) {
            }
            if (stopping)
                return false;
        }
    }
    return true;
}

void RawOutput::finish() {
    closeStream();
}

} // namespace kavelin
