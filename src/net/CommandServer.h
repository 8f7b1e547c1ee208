#pragma once

#include "engine/CommandSource.h"
#include "net/TcpServer.h"

#include <atomic>

namespace kavelin {

class CommandSink;

// The command port: every line a client sends is executed as a Command by the attached
// CommandSink and answered "OK" or "ERROR", followed by a space and the result when the
// command yields one.
class CommandServer : public TcpServer, public CommandSource {
public:
    static constexpr uint16_t kDefaultPort = 2031;

    explicit CommandServer(uint16_t port = kDefaultPort, std::string listenAddress = "0.0.0.0");
    ~CommandServer() override;

    bool start() override;
    // May be called while the server already accepts clients; lines that arrive before it
    // are answered "ERROR" without being executed.
    void setProcessor(CommandSink* processor) override;

protected:
    void onConnect(const IpAddress& address) override;
    void onDisconnect() override;
    void onLine(const char* line, size_t length, TextString* reply) override;

private:
    std::atomic<CommandSink*> processor_{nullptr};
};

} // namespace kavelin
