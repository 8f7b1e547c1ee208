#include "net/CommandServer.h"

#include "engine/LogSink.h"

namespace kavelin {

CommandServer::CommandServer(LogSink& log, uint16_t port, std::string listenAddress,
                             ClientTimeouts timeouts, int maxClients)
    : TcpServer(port, std::move(listenAddress), timeouts, maxClients), log_(log) {}

CommandServer::~CommandServer() {
    log_.diagnostic("Server shutting down...\n");
    stop();
}

bool CommandServer::start() {
    log_.diagnostic("Server initializing...\n");
    return TcpServer::start();
}

void CommandServer::setExecutor(LineExecutor executor) {
    executor_.store(std::make_shared<const LineExecutor>(std::move(executor)));
}

void CommandServer::onConnect(const IpAddress& address) {
    log_.diagnostic("Connection established to %d.%d.%d.%d\n", address.octets[0], address.octets[1],
                    address.octets[2], address.octets[3]);
}

void CommandServer::onDisconnect() {
    log_.diagnostic("- Disconnected!!!\n");
}

void CommandServer::onSendError() {
    log_.diagnostic("Error on send()");
}

void CommandServer::onLineTimeout(double seconds) {
    log_.diagnostic("- Disconnected: a line not ended within %g s.\n", seconds);
}

void CommandServer::onIdleTimeout(double seconds) {
    log_.diagnostic("- Disconnected: nothing received for %g s.\n", seconds);
}

std::string CommandServer::onLine(const char* line, size_t length) {
    const std::shared_ptr<const LineExecutor> executor = executor_.load();
    return executor ? (*executor)(line, length) : "ERROR";
}

} // namespace kavelin
