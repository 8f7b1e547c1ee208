#pragma once

// Helpers for the server tests: a loopback client with bounded waits, a pipe that collects the
// server's diagnostic lines, and a command sink that records what it executes.

#include "engine/CommandSink.h"
#include "net/Command.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kavelin::test {

// Records every executed line. Number 99 fails; number 7 yields its argument text as the
// result, number 8 a result of 1000 bytes.
class FakeSink : public CommandSink {
public:
    bool execute(Command& command) override {
        {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(command.line(), command.lineLength());
        }
        if (command.number() == 7)
            command.setResult(command.arguments());
        if (command.number() == 8)
            command.setResult(std::string(1000, 'r').c_str());
        return command.number() != 99;
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Collects what the server writes to its diagnostics stream.
class Diagnostics {
public:
    Diagnostics() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            readEnd_ = fds[0];
            ::fcntl(readEnd_, F_SETFL, O_NONBLOCK);
            stream_ = ::fdopen(fds[1], "w");
        }
    }
    ~Diagnostics() {
        if (stream_ != nullptr)
            std::fclose(stream_);
        if (readEnd_ >= 0)
            ::close(readEnd_);
    }
    std::FILE* stream() const { return stream_; }

    // Everything written so far.
    std::string text() {
        char chunk[4096];
        ssize_t n;
        while ((n = ::read(readEnd_, chunk, sizeof chunk)) > 0)
            text_.append(chunk, static_cast<size_t>(n));
        return text_;
    }
    // Waits up to 3 s until `part` has been written.
    bool waitFor(const std::string& part) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (text().find(part) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    int readEnd_ = -1;
    std::FILE* stream_ = nullptr;
    std::string text_;
};

// A loopback port that was free a moment ago.
inline uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A blocking loopback client whose every wait is bounded.
class Client {
public:
    explicit Client(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        setTimeout(3000);
    }
    ~Client() { close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return connected_; }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    void setTimeout(int ms) {
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    }
    // False when the server closed the connection before everything was sent.
    bool send(const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }
    // One reply line with its line feed, or "" when none came in time or the peer closed.
    std::string readLine() {
        for (;;) {
            const size_t feed = buffer_.find('\n');
            if (feed != std::string::npos) {
                std::string line = buffer_.substr(0, feed + 1);
                buffer_.erase(0, feed + 1);
                return line;
            }
            if (!receive())
                return "";
        }
    }
    // Reads exactly `count` bytes (or fewer when the stream ends).
    std::string readBytes(size_t count) {
        while (buffer_.size() < count && receive()) {
        }
        std::string bytes = buffer_.substr(0, count);
        buffer_.erase(0, bytes.size());
        return bytes;
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
    bool receive() {
        char chunk[65536];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buffer_.append(chunk, static_cast<size_t>(n));
        return true;
    }

    int fd_ = -1;
    bool connected_ = false;
    std::string buffer_;
};

} // namespace kavelin::test
