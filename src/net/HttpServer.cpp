#include "net/HttpServer.h"

#include "engine/ThreadPriority.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>

namespace kavelin {

namespace {

// Enough for any scraper: more connections than this wait until one closes.
constexpr unsigned kConnectionLimit = 16;
// A client that sends nothing for this long is dropped.
constexpr unsigned kConnectionTimeoutSeconds = 10;

void logMessage(void* server, const char* format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '.'))
        message.pop_back();
    static_cast<HttpServer*>(server)->note(message);
}

MHD_Result answer(void* server, MHD_Connection* connection, const char* url, const char* method,
                  const char* /*version*/, const char* /*uploadData*/, size_t* /*uploadSize*/,
                  void** /*requestState*/) {
    // The library's thread: it makes way for the frame path like every other helper thread.
    thread_local const bool yielded = (yieldToFramePath(), true);
    (void)yielded;

    const bool head = std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
    HttpServer::Response reply;
    if (head || std::strcmp(method, MHD_HTTP_METHOD_GET) == 0) {
        try {
            reply = static_cast<HttpServer*>(server)->respond(url);
        } catch (const std::bad_alloc&) {
            reply = {MHD_HTTP_SERVICE_UNAVAILABLE, "text/plain; charset=utf-8", "out of memory\n"};
        }
    } else {
        reply = {MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain; charset=utf-8",
                 "only GET and HEAD are answered\n"};
    }
    MHD_Response* response = MHD_create_response_from_buffer(reply.body.size(), reply.body.data(),
                                                             MHD_RESPMEM_MUST_COPY);
    if (response == nullptr)
        return MHD_NO; // the library closes the connection
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    if (reply.status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);
    return queued;
}

} // namespace

HttpServer::HttpServer(Handler handler) : handler_(std::move(handler)) {}

HttpServer::~HttpServer() {
    if (daemon_ != nullptr)
        MHD_stop_daemon(daemon_);
}

void HttpServer::note(const std::string& message) {
    std::lock_guard lock(messageMutex_);
    message_ = message;
}

Status HttpServer::start(const std::string& address, uint16_t port) {
    if (daemon_ != nullptr)
        return failure("already listening");
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1)
        return failure("'" + address + "' is not an IPv4 address");
    errno = 0;
    // One thread polls every connection and answers each request in turn.
    daemon_ = MHD_start_daemon(MHD_USE_POLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG, port, nullptr,
                               nullptr, &answer, this, MHD_OPTION_EXTERNAL_LOGGER, &logMessage,
                               this, MHD_OPTION_SOCK_ADDR, &where, MHD_OPTION_CONNECTION_LIMIT,
                               kConnectionLimit, MHD_OPTION_CONNECTION_TIMEOUT,
                               kConnectionTimeoutSeconds, MHD_OPTION_END);
    if (daemon_ == nullptr) {
        const int error = errno;
        std::lock_guard lock(messageMutex_);
        if (!message_.empty())
            return failure(message_);
        return failure(error != 0 ? std::strerror(error) : "the HTTP server did not start");
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info != nullptr ? info->port : port;
    return done();
}

} // namespace kavelin
