#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace kavelin {

class LineReader;

// The four octets of a client's IPv4 address, in dotted order.
struct IpAddress {
    int32_t octets[4];
};

// How long a client may hold the server without sending a whole line, in seconds; 0 is never.
struct ClientTimeouts {
    // From the first byte of a line (or, when earlier lines were still being answered, from
    // the moment the server waits for its rest) to its line feed.
    double line = 10;
    // From the last byte received (or the last reply sent) to the next byte.
    double idle = 0;
};

// A TCP line server: listens on one port, serves one client at a time on a thread of its
// own, cuts the client's bytes into lines and answers each line with one reply line. A client
// that leaves a line unfinished, or sends nothing, for longer than its timeouts allow is
// disconnected, so that the next one is served.
//
// A class that overrides the handler operations must call `stop` in its own destructor, so
// the server thread no longer calls them once the derived part is gone.
class TcpServer {
public:
    explicit TcpServer(uint16_t port, std::string listenAddress = "0.0.0.0",
                       ClientTimeouts timeouts = {});
    virtual ~TcpServer();

    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Binds, listens and starts the accept loop. False when the address cannot be bound
    // (the port is taken, say) or the server already runs.
    bool start();
    // Ends the accept loop: a blocked accept or receive returns, the thread is waited for and
    // the listening socket closed. No handler operation is called for a client cut off here.
    void stop();

    // The port the server listens on; after `start`, the one chosen when 0 was asked for.
    uint16_t port() const { return port_; }

protected:
    virtual void onConnect(const IpAddress& address) = 0;
    // The client closed the connection.
    virtual void onDisconnect() {}
    // A receive failed or a line did not fit; the connection has been closed without a reply.
    virtual void onReceiveError() {}
    // A send failed; the connection has been closed.
    virtual void onSendError() {}
    // A line was left unfinished, or nothing was received, for that many seconds; the
    // connection has been closed.
    virtual void onLineTimeout(double /*seconds*/) {}
    virtual void onIdleTimeout(double /*seconds*/) {}
    // A complete line: its bytes (zero bytes included) with a NUL at line[length]. Returns the
    // reply text, without its line feed.
    virtual std::string onLine(const char* line, size_t length) = 0;

private:
    enum class End { Disconnected, ReceiveError, SendError, LineTimeout, IdleTimeout, Stopped };
    using Clock = std::chrono::steady_clock;

    void run();
    End serve(int client, LineReader& reader, std::string& out);
    // Executes the line and queues its reply in `out`, sending when enough has gathered;
    // false when a send failed.
    bool answer(int client, const char* line, size_t length, std::string& out);
    enum class Wait { Readable, LineTimeout, IdleTimeout };
    // Waits until the client can be read (bytes, its close, or the server's stop), or until the
    // earlier deadline passes without a byte.
    static Wait waitForBytes(int client, Clock::time_point lineDeadline,
                             Clock::time_point idleDeadline);
    bool sendAll(int client, std::string& out);
    static bool sendBytes(int client, const char* data, size_t size);
    static void configureClient(int client);

    std::string listenAddress_;
    uint16_t port_;
    ClientTimeouts timeouts_;
    int listenSocket_ = -1;
    std::mutex clientMutex_; // guards clientSocket_ between the server thread and stop
    int clientSocket_ = -1;
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};

} // namespace kavelin
