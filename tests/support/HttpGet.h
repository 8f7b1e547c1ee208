#pragma once

// A loopback HTTP/1.0 request with a bounded wait, for the metrics port.

#include <arpa/inet.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace kavelin::test {

struct HttpReply {
    int status = 0; // 0: no answer
    std::string headers;
    std::string body;
};

// Sends one request and reads the answer to the end of the connection (3 s at most a wait).
inline HttpReply httpRequest(uint16_t port, const std::string& method, const std::string& path) {
    HttpReply reply;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    const std::string request = method + " " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    std::string all;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        char chunk[65536];
        for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;)
            all.append(chunk, size_t(n));
    }
    ::close(fd);
    const size_t end = all.find("\r\n\r\n");
    if (all.rfind("HTTP/1.", 0) != 0 || end == std::string::npos)
        return reply;
    reply.status = std::stoi(all.substr(9, 3));
    reply.headers = all.substr(0, end + 2);
    reply.body = all.substr(end + 4);
    return reply;
}

inline HttpReply httpGet(uint16_t port, const std::string& path) {
    return httpRequest(port, "GET", path);
}

} // namespace kavelin::test
