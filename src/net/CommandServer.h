#pragma once

#include "net/TcpServer.h"

#include <atomic>
#include <functional>
#include <memory>

namespace kavelin {

class LogSink;

// Executes one command line (with a NUL at line[length]) and gives its reply without the line
// feed.
using LineExecutor = std::function<std::string(const char* line, size_t length)>;

// The command port: every line a client sends is executed and answered with one reply line.
// Its diagnostics (start, connections, disconnections and why, shutdown) go to the log.
class CommandServer : public TcpServer {
public:
    static constexpr uint16_t kDefaultPort = 2031;

    CommandServer(LogSink& log, uint16_t port = kDefaultPort, std::string listenAddress = "0.0.0.0",
                  ClientTimeouts timeouts = {}, int maxClients = 1);
    ~CommandServer() override;

    bool start();
    // May be called while the server already accepts clients; lines that arrive before it
    // are answered "ERROR" without being executed.
    void setExecutor(LineExecutor executor);

protected:
    void onConnect(const IpAddress& address) override;
    void onDisconnect() override;
    void onSendError() override;
    void onLineTimeout(double seconds) override;
    void onIdleTimeout(double seconds) override;
    std::string onLine(const char* line, size_t length) override;

private:
    LogSink& log_;
    std::atomic<std::shared_ptr<const LineExecutor>> executor_;
};

} // namespace kavelin
