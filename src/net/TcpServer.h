#pragma once

#include "engine/Runnable.h"
#include "engine/Thread.h"
#include "net/TextString.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace kavelin {

class LineReader;

// The four octets of a client's IPv4 address, in dotted order.
struct IpAddress {
    int32_t octets[4];
};

// What a line server reports about its connection.
class ConnectionHandler {
public:
    virtual ~ConnectionHandler() = default;
    virtual void onConnect(const IpAddress& address) = 0;
    // The client closed the connection.
    virtual void onDisconnect() {}
    // A receive failed or a line did not fit; the connection has been closed without a reply.
    virtual void onReceiveError() {}
    // A complete line: its bytes (zero bytes included) with a NUL at line[length]. The
    // handler puts the reply text, without its line feed, into `reply`.
    virtual void onLine(const char* line, size_t length, TextString* reply) {
        (void)line;
        (void)length;
        (void)reply;
    }
};

// A TCP line server: listens on one port, serves one client at a time on a thread of its
// own, cuts the client's bytes into lines and answers each line with one reply line.
//
// A class that overrides the handler operations must call `stop` in its own destructor, so
// the server thread no longer calls them once the derived part is gone.
class TcpServer : public Runnable, public ConnectionHandler {
public:
    explicit TcpServer(uint16_t port, std::string listenAddress = "0.0.0.0");
    ~TcpServer() override;

    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Binds, listens and starts the accept loop. False when the address cannot be bound
    // (the port is taken, say) or the server already runs.
    bool start();
    // Ends the accept loop: a blocked accept or receive returns, the thread is waited for and
    // the listening socket closed. No handler operation is called for a client cut off here.
    bool stop();

    // The port the server listens on; after `start`, the one chosen when 0 was asked for.
    uint16_t port() const { return port_; }

    // Where the diagnostic lines go (standard output by default); set before `start`.
    void setDiagnostics(std::FILE* out) { diagnostics_ = out; }

    void run() override;

protected:
    // Writes one diagnostic text and flushes it at once.
    void diagnostic(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    enum class End { Disconnected, ReceiveError, SendError, Stopped };

    End serve(int client, LineReader& reader, TextString& reply, std::string& out);
    bool sendAll(int client, std::string& out);
    static void configureClient(int client);

    std::string listenAddress_;
    uint16_t port_;
    int listenSocket_ = -1;
    std::mutex clientMutex_; // guards clientSocket_ between the server thread and stop
    int clientSocket_ = -1;
    std::atomic<bool> stopRequested_{false};
    std::FILE* diagnostics_ = stdout;
    Thread thread_{*this};
};

} // namespace kavelin
