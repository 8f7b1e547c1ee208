#pragma once

// A loopback client with bounded waits, and a free port for a server to listen on.

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace kavelin::test {

// A loopback port that was free a moment ago.
inline uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A blocking loopback client; every wait ends after 3 s at most.
class Client {
public:
    explicit Client(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        connected_ =
            ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        const timeval limit{3, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    ~Client() { ::close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return connected_; }
    // Closes with a reset instead of an orderly end: the server's next send fails.
    void abort() {
        const linger hard{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(fd_);
        fd_ = -1;
    }
    // False when the server closed the connection before everything was sent.
    bool send(const std::string& bytes) {
        ssize_t n = 0;
        for (size_t sent = 0; sent < bytes.size(); sent += size_t(n))
            if ((n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)) <= 0)
                return false;
        return true;
    }
    // One reply line with its line feed, or "" when none came in time or the peer closed.
    std::string readLine() {
        char chunk[65536];
        for (ssize_t n; buffer_.find('\n') == std::string::npos; buffer_.append(chunk, size_t(n)))
            if ((n = ::recv(fd_, chunk, sizeof chunk, 0)) <= 0)
                return "";
        std::string line = buffer_.substr(0, buffer_.find('\n') + 1);
        buffer_.erase(0, line.size());
        return line;
    }
    // True when the server closed the connection, with no byte in between.
    bool closedWithoutReply() {
        char c;
        const ssize_t n = ::recv(fd_, &c, 1, 0);
        return buffer_.empty() && (n == 0 || (n < 0 && errno == ECONNRESET));
    }
    // True when nothing arrives within `ms`.
    bool silentFor(int ms) {
        pollfd p{fd_, POLLIN, 0};
        return buffer_.empty() && ::poll(&p, 1, ms) == 0;
    }

private:
    int fd_;
    bool connected_ = false;
    std::string buffer_;
};

} // namespace kavelin::test
