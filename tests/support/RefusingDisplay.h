#pragma once

// An X display that answers but lets no client in, as a server with access control does to a
// client without its cookie: a socket on an unused display number that takes every connection
// and closes it at once.

#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace kavelin::test {

class RefusingDisplay {
public:
    RefusingDisplay() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        for (int n = 4000; n < 4100 && name_.empty(); ++n) {
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(n);
            sockaddr_un address{AF_UNIX, {}}; // an abstract name: a NUL, then the path
            std::memcpy(address.sun_path + 1, path.data(), path.size());
            if (::access(path.c_str(), F_OK) != 0 &&
                ::bind(fd_, reinterpret_cast<sockaddr*>(&address),
                       static_cast<socklen_t>(sizeof(sa_family_t) + 1 + path.size())) == 0)
                name_ = std::string(":").append(std::to_string(n)); // not "+": GCC 12 warns
        }
        if (!name_.empty() && ::listen(fd_, 8) == 0)
            thread_ = std::thread([fd = fd_] {
                for (int client; (client = ::accept(fd, nullptr, nullptr)) >= 0;)
                    ::close(client);
            });
        else
            name_.clear();
    }
    ~RefusingDisplay() {
        ::shutdown(fd_, SHUT_RDWR); // ends the accept
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    RefusingDisplay(const RefusingDisplay&) = delete;
    RefusingDisplay& operator=(const RefusingDisplay&) = delete;

    // ":N", or empty when no display number could be had.
    const std::string& name() const { return name_; }

private:
    int fd_;
    std::string name_;
    std::thread thread_;
};

} // namespace kavelin::test
