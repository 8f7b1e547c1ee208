#pragma once

#include "base/Result.h"
#include "net/HttpServer.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kavelin {

class CommandStats;
class Engine;
class TcpServer;

// The metrics port: GET /metrics gives the figures of the frame path, the outputs, the
// commands, the command port and the memory budget in Prometheus's text format; GET /health
// answers 200 "ok" while frames go out on time and 503 with the reason otherwise. Everything
// is read from counters that their owners keep anyway, so a request never holds up a frame.
class MetricsService {
public:
    struct Sources {
        const Engine& engine;
        const CommandStats& commands;
        const TcpServer& server;
    };

    explicit MetricsService(Sources sources);

    // Listens on address:port (port 0: one the system chooses); the reason when it cannot.
    Status start(const std::string& address, uint16_t port);
    uint16_t port() const { return http_.port(); }

    HttpServer::Response respond(std::string_view path) const;
    std::string metricsText() const;

private:
    const Sources sources_;
    HttpServer http_;
};

} // namespace kavelin
