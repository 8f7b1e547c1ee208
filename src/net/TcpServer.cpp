#include "net/TcpServer.h"

#include "engine/ThreadPriority.h"
#include "net/LineReader.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace kavelin {

namespace {

constexpr int kBacklog = 10;
// Replies of lines that arrived together are sent together, up to this many bytes at once.
constexpr size_t kReplyBatch = 16 * 1024;
// Keepalive: a silent peer is probed after 30 s, then every 10 s; 3 unanswered probes
// (60 s in all) end the connection, so a vanished controller does not block the next one.
constexpr int kKeepIdleSeconds = 30;
constexpr int kKeepIntervalSeconds = 10;
constexpr int kKeepCount = 3;

void setOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// A timeout in seconds as a clock duration: zero (never) for 0 or less, at most about 30
// years, so that a deadline never overflows.
std::chrono::steady_clock::duration limit(double seconds) {
    if (!(seconds > 0))
        return std::chrono::steady_clock::duration::zero();
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(std::min(seconds, 1e9)));
}

} // namespace

TcpServer::TcpServer(uint16_t port, std::string listenAddress, ClientTimeouts timeouts)
    : listenAddress_(std::move(listenAddress)), port_(port), timeouts_(timeouts) {}

TcpServer::~TcpServer() {
    stop();
}

bool TcpServer::start() {
    if (thread_.joinable())
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    if (::inet_pton(AF_INET, listenAddress_.c_str(), &address.sin_addr) != 1)
        return false;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return false;
    // A restarted server may bind its port again at once; a second listener still fails.
    setOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kBacklog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return false;
    }
    port_ = ntohs(address.sin_port);
    listenSocket_ = fd;
    stopRequested_ = false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        ::close(fd);
        listenSocket_ = -1;
        return false;
    }
    return true;
}

void TcpServer::stop() {
    stopRequested_ = true;
    {
        // Shut down, not close: the server thread still owns the descriptor and closes it,
        // so it can never be reused under a blocked call.
        std::lock_guard lock(clientMutex_);
        if (clientSocket_ >= 0)
            ::shutdown(clientSocket_, SHUT_RDWR);
    }
    if (listenSocket_ >= 0)
        ::shutdown(listenSocket_, SHUT_RDWR); // wakes a blocked accept
    if (thread_.joinable())
        thread_.join();
    if (listenSocket_ >= 0) {
        ::close(listenSocket_);
        listenSocket_ = -1;
    }
}

void TcpServer::configureClient(int client) {
    setOption(client, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(client, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleSeconds);
    setOption(client, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalSeconds);
    setOption(client, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
    // Replies are written whole, so there is nothing for Nagle's algorithm to gather.
    setOption(client, IPPROTO_TCP, TCP_NODELAY, 1);
}

void TcpServer::run() {
    yieldToFramePath(); // the commands run on this thread
    LineReader reader;
    std::string out;
    out.reserve(kReplyBatch * 2);

    while (!stopRequested_) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const int client =
            ::accept4(listenSocket_, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
        if (client < 0) {
            if (stopRequested_)
                break;
            // Out of descriptors or memory: try again without spinning.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        {
            std::lock_guard lock(clientMutex_);
            if (stopRequested_) {
                ::close(client);
                break;
            }
            clientSocket_ = client;
        }
        configureClient(client);

        const uint32_t host = ntohl(peer.sin_addr.s_addr);
        const IpAddress address{
            {static_cast<int32_t>(host >> 24), static_cast<int32_t>((host >> 16) & 0xFF),
             static_cast<int32_t>((host >> 8) & 0xFF), static_cast<int32_t>(host & 0xFF)}};
        onConnect(address);

        reader.clear();
        out.clear();
        const End end = stopRequested_ ? End::Stopped : serve(client, reader, out);
        {
            std::lock_guard lock(clientMutex_);
            clientSocket_ = -1;
        }
        ::close(client);
        switch (end) {
        case End::Disconnected:
            onDisconnect();
            break;
        case End::ReceiveError:
            onReceiveError();
            break;
        case End::SendError:
            onSendError();
            break;
        case End::LineTimeout:
            onLineTimeout(timeouts_.line);
            break;
        case End::IdleTimeout:
            onIdleTimeout(timeouts_.idle);
            break;
        case End::Stopped:
            break;
        }
    }
}

TcpServer::End TcpServer::serve(int client, LineReader& reader, std::string& out) {
    const Clock::duration line = limit(timeouts_.line);
    const Clock::duration idle = limit(timeouts_.idle);
    // The clocks run only while the server waits for the client, not while it answers.
    bool received = true; // since the last wait (the connection counts)
    bool lineOpen = false;
    Clock::time_point lineSince, idleSince;
    for (;;) {
        if (stopRequested_)
            return End::Stopped;
        char* text = nullptr;
        size_t length = 0;
        const LineReader::Cut cut = reader.next(text, length);
        if (cut == LineReader::Cut::Line) {
            lineOpen = false;
            // Each reply is complete before the next line is executed; replies of lines that
            // are already buffered go out together.
            if (!answer(client, text, length, out))
                return stopRequested_ ? End::Stopped : End::SendError;
            continue;
        }
        // Everything buffered is answered before waiting for more (or closing).
        if (!sendAll(client, out))
            return stopRequested_ ? End::Stopped : End::SendError;
        if (cut == LineReader::Cut::Overlong)
            return End::ReceiveError;

        const Clock::time_point now = Clock::now();
        if (received)
            idleSince = now;
        received = false;
        const bool begun = reader.pending() > 0;
        if (begun && !lineOpen)
            lineSince = now;
        lineOpen = begun;
        const Wait wait = waitForBytes(
            client,
            lineOpen && line > Clock::duration::zero() ? lineSince + line
                                                       : Clock::time_point::max(),
            idle > Clock::duration::zero() ? idleSince + idle : Clock::time_point::max());
        if (wait == Wait::LineTimeout)
            return stopRequested_ ? End::Stopped : End::LineTimeout;
        if (wait == Wait::IdleTimeout)
            return stopRequested_ ? End::Stopped : End::IdleTimeout;

        const LineReader::Fill fill = reader.receive(client);
        if (stopRequested_)
            return End::Stopped;
        if (fill == LineReader::Fill::Closed)
            return End::Disconnected;
        if (fill == LineReader::Fill::Error)
            return End::ReceiveError;
        received = true;
    }
}

TcpServer::Wait TcpServer::waitForBytes(int client, Clock::time_point lineDeadline,
                                        Clock::time_point idleDeadline) {
    const Clock::time_point deadline = std::min(lineDeadline, idleDeadline);
    for (;;) {
        int timeout = -1;
        if (deadline != Clock::time_point::max()) {
            const Clock::time_point now = Clock::now();
            // Whole milliseconds, rounded up, so that the deadline has passed when none came.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                std::max(deadline - now, Clock::duration::zero()));
            timeout = static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX));
        }
        pollfd wanted{client, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, timeout);
        if (ready > 0)
            return Wait::Readable; // bytes, a close or an error: the receive tells
        if (ready < 0 && errno != EINTR)
            return Wait::Readable; // the receive reports the fault
        if (ready == 0 && Clock::now() >= deadline)
            return lineDeadline <= idleDeadline ? Wait::LineTimeout : Wait::IdleTimeout;
    }
}

bool TcpServer::answer(int client, const char* line, size_t length, std::string& out) {
    // "ERROR" fits the string itself: no memory is needed to say it.
    std::string reply;
    try {
        reply = onLine(line, length);
    } catch (const std::bad_alloc&) {
        reply = "ERROR";
    }
    const size_t queued = out.size();
    try {
        out += reply;
        out += '\n';
    } catch (const std::bad_alloc&) {
        // No room to gather it: what waits goes out, then the reply by itself.
        out.resize(queued);
        return sendAll(client, out) && sendBytes(client, reply.data(), reply.size()) &&
               sendBytes(client, "\n", 1);
    }
    return out.size() < kReplyBatch || sendAll(client, out);
}

bool TcpServer::sendAll(int client, std::string& out) {
    if (!sendBytes(client, out.data(), out.size()))
        return false;
    out.clear();
    return true;
}

bool TcpServer::sendBytes(int client, const char* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(client, data + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace kavelin
