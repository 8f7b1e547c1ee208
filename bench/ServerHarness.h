#pragma once

// The server as clients meet it, for the benchmarks: the Application (engine, outputs, command
// server, command executor) running in this process, and loopback clients that talk to it.

#include "app/Application.h"
#include "engine/Engine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kavelin::bench {

inline int listenOnLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 10);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// A port that was free a moment ago (the Application does not say which port 0 gave it).
inline uint16_t freePort() {
    uint16_t port = 0;
    ::close(listenOnLoopback(port));
    return port;
}

// A connected loopback socket with TCP_NODELAY, or -1 after about five seconds of refusals.
inline int connectTo(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int attempt = 0; attempt < 500; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

inline bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads until `lines` line feeds have arrived.
inline bool readLines(int fd, long lines) {
    char chunk[65536];
    while (lines > 0) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        lines -= std::count(chunk, chunk + n, '\n');
    }
    return true;
}

// One client connection that sends command lines and reads their replies one by one.
class Client {
public:
    explicit Client(uint16_t port) : fd_(connectTo(port)) {}
    ~Client() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Sends the line and its line feed.
    bool send(std::string_view line) {
        std::string text(line);
        text.push_back('\n');
        return fd_ >= 0 && sendAll(fd_, text.data(), text.size());
    }
    // The next reply line without its line feed; none when the connection ended.
    std::optional<std::string> reply() {
        for (;;) {
            const size_t feed = pending_.find('\n');
            if (feed != std::string::npos) {
                std::string line = pending_.substr(0, feed);
                pending_.erase(0, feed + 1);
                return line;
            }
            char chunk[4096];
            const ssize_t n = fd_ >= 0 ? ::recv(fd_, chunk, sizeof chunk, 0) : -1;
            if (n <= 0)
                return std::nullopt;
            pending_.append(chunk, static_cast<size_t>(n));
        }
    }
    // The reply to one line, or "(no reply)" when the connection ended.
    std::string call(std::string_view line) {
        if (!send(line))
            return "(no reply)";
        return reply().value_or("(no reply)");
    }

private:
    int fd_;
    std::string pending_;
};

// The Application on a free loopback port, started and ready for commands, stopped and waited
// for on destruction.
class InProcessServer {
public:
    InProcessServer(LogSink& log, std::vector<std::string> outputs,
                    Application::OutputFactory makeOutput,
                    PixelColour background = {0, 0, 0, 255}) {
        Application::Settings settings;
        settings.port = freePort();
        settings.listenAddress = "127.0.0.1";
        settings.background = background;
        settings.outputs = std::move(outputs);
        port_ = static_cast<uint16_t>(settings.port);
        app_ = std::make_unique<Application>(settings, log, std::move(makeOutput));
        app_->start();
        // Lines that arrive before the executor is in place are refused; number 0 is answered
        // "OK" once it is.
        for (int attempt = 0; attempt < 500 && !app_->workerEnded(); ++attempt) {
            Client probe(port_);
            if (probe.connected() && probe.call("0") == "OK") {
                ready_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~InProcessServer() {
        app_->stop();
        app_->wait();
    }
    InProcessServer(const InProcessServer&) = delete;
    InProcessServer& operator=(const InProcessServer&) = delete;

    bool ready() const { return ready_; }
    uint16_t port() const { return port_; }
    Engine& engine() const { return *app_->engine(); }

private:
    std::unique_ptr<Application> app_;
    uint16_t port_ = 0;
    bool ready_ = false;
};

} // namespace kavelin::bench
