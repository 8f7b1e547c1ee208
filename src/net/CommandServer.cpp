#include "net/CommandServer.h"

#include "engine/CommandSink.h"
#include "net/Reply.h"

namespace kavelin {

CommandServer::CommandServer(uint16_t port, std::string listenAddress)
    : TcpServer(port, std::move(listenAddress)) {}

CommandServer::~CommandServer() {
    diagnostic("Server shutting down...\n");
    stop();
}

bool CommandServer::start() {
    diagnostic("Server initializing...\n");
    return TcpServer::start();
}

void CommandServer::setProcessor(CommandSink* processor) {
    processor_.store(processor);
}

void CommandServer::onConnect(const IpAddress& address) {
    const TextString text(16, "%d.%d.%d.%d", address.octets[0], address.octets[1],
                          address.octets[2], address.octets[3]);
    diagnostic("Connection established to %s\n", text.text());
}

void CommandServer::onDisconnect() {
    diagnostic("- Disconnected!!!\n");
}

void CommandServer::onLine(const char* line, size_t length, TextString* reply) {
    if (reply != nullptr)
        buildReply(processor_.load(), line, length, *reply);
}

} // namespace kavelin
