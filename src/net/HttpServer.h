#pragma once

#include "base/Result.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

struct MHD_Daemon;

namespace kavelin {

// A small read-only HTTP server (libmicrohttpd) on a thread of its own: GET and HEAD of a
// path are answered with what the handler gives; other methods get 405. Requests are answered
// one at a time, so a handler needs no lock of its own against itself.
class HttpServer {
public:
    struct Response {
        int status = 200;
        std::string contentType = "text/plain; charset=utf-8";
        std::string body;
    };
    // Called on the server's thread with the path of the request (without its query).
    using Handler = std::function<Response(std::string_view path)>;

    explicit HttpServer(Handler handler);
    // Stops the server: a request being answered is finished first.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on an IPv4 address and port (0: one the system chooses); the reason when it
    // cannot (a malformed address, a port that is taken).
    Status start(const std::string& address, uint16_t port);
    // The port listened on, once started.
    uint16_t port() const { return port_; }

    // For libmicrohttpd's callbacks.
    Response respond(std::string_view path) const { return handler_(path); }
    void note(const std::string& message);

private:
    const Handler handler_;
    MHD_Daemon* daemon_ = nullptr;
    uint16_t port_ = 0;
    std::mutex messageMutex_; // guards message_, written from the library's thread too
    std::string message_;     // the library's last complaint, for the reason of a failed start
};

} // namespace kavelin
