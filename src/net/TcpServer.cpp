#include "net/TcpServer.h"

#include "engine/ThreadPriority.h"
#include "net/LineReader.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <new>
#include <poll.h>
#include <sys/eventfd.h>
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

// Milliseconds for poll until the deadline, rounded up so that it has passed when poll
// returns without an event; -1 (no limit) for none.
int pollTimeout(std::chrono::steady_clock::time_point deadline) {
    if (deadline == std::chrono::steady_clock::time_point::max())
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(std::max(
        deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero()));
    return static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX));
}

} // namespace

// One client's socket, its unread bytes, its unsent replies and its clocks. Slots are made
// when the server starts and used again, so that serving a client allocates nothing.
struct TcpServer::Connection {
    Connection() { out.reserve(kReplyBatch * 2); }

    bool hasOutput() const { return sent < out.size(); }

    int fd = -1;
    LineReader reader;
    std::string out; // replies; out[0, sent) has gone out already
    size_t sent = 0;
    bool drained = true;     // every complete line received has been answered
    End closing = End::None; // how it ends once its replies are out (an overlong line)
    bool waiting = false;    // waits for bytes, its clocks running
    bool received = true;    // since it last waited (the connection counts)
    bool lineOpen = false;   // a line was begun when it last waited
    Clock::time_point lineSince, idleSince;
};

TcpServer::TcpServer(uint16_t port, std::string listenAddress, ClientTimeouts timeouts,
                     int maxClients)
    : listenAddress_(std::move(listenAddress)), port_(port), timeouts_(timeouts),
      lineLimit_(limit(timeouts.line)), idleLimit_(limit(timeouts.idle)),
      maxClients_(std::clamp(maxClients, 1, kMaxClients)) {}

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
    try {
        while (slots_.size() < static_cast<size_t>(maxClients_))
            slots_.push_back(std::make_unique<Connection>());
    } catch (const std::bad_alloc&) {
        return false;
    }

    // Non-blocking, so that taking the waiting connections stops when there are none.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0)
        return false;
    // A restarted server may bind its port again at once; a second listener still fails.
    setOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    socklen_t length = sizeof address;
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kBacklog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        if (wake >= 0)
            ::close(wake);
        return false;
    }
    port_ = ntohs(address.sin_port);
    {
        std::lock_guard lock(listenMutex_);
        listenSocket_ = fd;
    }
    wakeFd_ = wake;
    stopRequested_ = false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        stop();
        return false;
    }
    return true;
}

void TcpServer::stop() {
    stopRequested_ = true;
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(listenMutex_);
    if (listenSocket_ >= 0) {
        ::close(listenSocket_);
        listenSocket_ = -1;
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

int TcpServer::clientsWaiting() const {
    std::lock_guard lock(listenMutex_);
    if (listenSocket_ < 0)
        return 0;
    // For a listening socket the kernel reports the length of its accept queue here.
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(listenSocket_, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return -1;
    return static_cast<int>(info.tcpi_unacked);
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
    std::vector<pollfd> fds;
    std::vector<Connection*> polled;
    fds.reserve(slots_.size() + 2);
    polled.reserve(slots_.size());

    while (!stopRequested_) {
        fds.clear();
        polled.clear();
        fds.push_back({wakeFd_, POLLIN, 0});
        // With every slot taken the listen socket is left alone: the connections that come
        // wait in its backlog, in order.
        fds.push_back({connected_ < maxClients_ ? listenSocket_ : -1, POLLIN, 0});
        Clock::time_point next = Clock::time_point::max();
        bool busy = false;
        for (const std::unique_ptr<Connection>& slot : slots_) {
            Connection& c = *slot;
            if (c.fd < 0)
                continue;
            short events = 0;
            if (c.hasOutput()) {
                events = POLLOUT;
            } else if (c.waiting) {
                events = POLLIN;
                next = std::min({next, lineDeadline(c), idleDeadline(c)});
            } else {
                busy = true; // lines are left from its last turn
            }
            fds.push_back({c.fd, events, 0});
            polled.push_back(&c);
        }
        const int ready = ::poll(fds.data(), fds.size(), busy ? 0 : pollTimeout(next));
        if (stopRequested_)
            break;
        if (ready < 0) {
            // Out of memory for the poll: try again without spinning.
            if (errno != EINTR)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const Clock::time_point now = Clock::now();
        // Each client in turn: lines that arrived together are executed in the order of the
        // clients, one batch of replies each, so that none holds the others up for long.
        for (size_t i = 0; i < polled.size() && !stopRequested_; ++i) {
            const End end = turn(*polled[i], fds[i + 2].revents, now);
            if (end != End::None && !stopRequested_)
                close(*polled[i], end);
        }
        if (!stopRequested_ && fds[1].revents != 0)
            accept();
    }
    closeAll();
}

void TcpServer::accept() {
    while (connected_ < maxClients_ && !stopRequested_) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const int client =
            ::accept4(listenSocket_, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            // Out of descriptors or memory: try again without spinning.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return; // none left waiting
        }
        const auto free = std::find_if(slots_.begin(), slots_.end(),
                                       [](const auto& slot) { return slot->fd < 0; });
        Connection& c = **free; // there is one: fewer clients than slots are connected
        configureClient(client);
        c.fd = client;
        c.reader.clear();
        c.out.clear();
        c.sent = 0;
        c.drained = true;
        c.closing = End::None;
        c.received = true;
        c.lineOpen = false;
        connected_.fetch_add(1, std::memory_order_relaxed);

        const uint32_t host = ntohl(peer.sin_addr.s_addr);
        const IpAddress address{
            {static_cast<int32_t>(host >> 24), static_cast<int32_t>((host >> 16) & 0xFF),
             static_cast<int32_t>((host >> 8) & 0xFF), static_cast<int32_t>(host & 0xFF)}};
        onConnect(address);
        beginWait(c);
    }
}

TcpServer::End TcpServer::turn(Connection& c, short revents, Clock::time_point now) {
    if (c.hasOutput()) {
        if (revents == 0)
            return End::None;
        if (!sendQueued(c))
            return End::SendError;
        if (c.hasOutput())
            return End::None;
        if (c.closing != End::None)
            return c.closing;
    } else if (c.waiting) {
        if (revents == 0) {
            const Clock::time_point line = lineDeadline(c), idle = idleDeadline(c);
            if (now < std::min(line, idle))
                return End::None;
            return line <= idle ? End::LineTimeout : End::IdleTimeout;
        }
        // Bytes, a close or an error: the receive tells.
        c.waiting = false;
        const LineReader::Fill fill = c.reader.receive(c.fd);
        if (fill == LineReader::Fill::Closed)
            return End::Disconnected;
        if (fill == LineReader::Fill::Error)
            return End::ReceiveError;
        c.received = true;
        c.drained = false;
    }
    if (!c.drained)
        if (const End end = answerBuffered(c); end != End::None)
            return end;
    // Everything received is answered and sent before the client is waited for again.
    if (c.drained && !c.hasOutput() && !c.waiting)
        beginWait(c);
    return End::None;
}

TcpServer::End TcpServer::answerBuffered(Connection& c) {
    while (!stopRequested_ && c.out.size() < kReplyBatch) {
        char* text = nullptr;
        size_t length = 0;
        const LineReader::Cut cut = c.reader.next(text, length);
        if (cut == LineReader::Cut::Line) {
            c.lineOpen = false;
            // Each reply is complete before the next line is executed; replies of lines that
            // are already buffered go out together.
            if (!answer(c, text, length))
                return End::SendError;
            continue;
        }
        c.drained = true;
        if (cut == LineReader::Cut::Overlong)
            c.closing = End::ReceiveError; // once the replies before it are out
        break;
    }
    if (!sendQueued(c))
        return End::SendError;
    return c.hasOutput() ? End::None : c.closing;
}

void TcpServer::beginWait(Connection& c) const {
    // The clocks run only while the server waits for the client, not while it answers.
    const Clock::time_point now = Clock::now();
    if (c.received)
        c.idleSince = now;
    c.received = false;
    const bool begun = c.reader.pending() > 0;
    if (begun && !c.lineOpen)
        c.lineSince = now;
    c.lineOpen = begun;
    c.waiting = true;
}

TcpServer::Clock::time_point TcpServer::lineDeadline(const Connection& c) const {
    return c.lineOpen && lineLimit_ > Clock::duration::zero() ? c.lineSince + lineLimit_
                                                              : Clock::time_point::max();
}

TcpServer::Clock::time_point TcpServer::idleDeadline(const Connection& c) const {
    return idleLimit_ > Clock::duration::zero() ? c.idleSince + idleLimit_
                                                : Clock::time_point::max();
}

void TcpServer::close(Connection& c, End end) {
    ::close(c.fd);
    c.fd = -1;
    c.waiting = false;
    connected_.fetch_sub(1, std::memory_order_relaxed);
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
    case End::None:
        break;
    }
}

void TcpServer::closeAll() {
    for (const std::unique_ptr<Connection>& slot : slots_) {
        if (slot->fd >= 0) {
            ::close(slot->fd);
            slot->fd = -1;
            slot->waiting = false;
        }
    }
    connected_ = 0;
}

bool TcpServer::answer(Connection& c, const char* line, size_t length) {
    // "ERROR" fits the string itself: no memory is needed to say it.
    std::string reply;
    try {
        reply = onLine(line, length);
    } catch (const std::bad_alloc&) {
        reply = "ERROR";
    }
    const size_t queued = c.out.size();
    try {
        c.out += reply;
        c.out += '\n';
    } catch (const std::bad_alloc&) {
        // No room to gather it: what waits goes out, then the reply by itself, each waiting
        // for the client as long as it takes.
        c.out.resize(queued);
        if (!sendBytes(c.fd, c.out.data() + c.sent, c.out.size() - c.sent) ||
            !sendBytes(c.fd, reply.data(), reply.size()) || !sendBytes(c.fd, "\n", 1))
            return false;
        c.out.clear();
        c.sent = 0;
    }
    return true;
}

bool TcpServer::sendQueued(Connection& c) {
    while (c.sent < c.out.size()) {
        const ssize_t n =
            ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // A client that does not read its replies is sent the rest when it does.
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        c.sent += static_cast<size_t>(n);
    }
    c.out.clear();
    c.sent = 0;
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
