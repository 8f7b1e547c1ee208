#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kavelin {

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

// A TCP line server: listens on one port and serves up to `maxClients` clients at once from
// one poll loop on a thread of its own. It cuts each client's bytes into lines and answers
// each line with one reply line to its sender; lines are executed one at a time, each whole.
// Connections beyond `maxClients` wait in the listen backlog, in order, until a client leaves.
// A client that leaves a line unfinished, or sends nothing, for longer than its timeouts allow
// is disconnected, so that the next one is served.
//
// A class that overrides the handler operations must call `stop` in its own destructor, so
// the server thread no longer calls them once the derived part is gone.
class TcpServer {
public:
    static constexpr int kMaxClients = 64;

    explicit TcpServer(uint16_t port, std::string listenAddress = "0.0.0.0",
                       ClientTimeouts timeouts = {}, int maxClients = 1);
    virtual ~TcpServer();

    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Binds, listens and starts the server thread. False when the address cannot be bound
    // (the port is taken, say), memory is short or the server already runs.
    bool start();
    // Ends the server thread: a wait in the poll loop returns, the thread is waited for and the
    // sockets closed. No handler operation is called for a client cut off here.
    void stop();

    // The port the server listens on; after `start`, the one chosen when 0 was asked for.
    uint16_t port() const { return port_; }
    // Clients being served now; any thread may ask.
    int clientsConnected() const { return connected_.load(std::memory_order_relaxed); }
    // Connections the kernel has completed and that wait to be served (the listen socket's
    // accept queue); -1 when it cannot be told. Any thread may ask.
    int clientsWaiting() const;

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
    enum class End { None, Disconnected, ReceiveError, SendError, LineTimeout, IdleTimeout };
    using Clock = std::chrono::steady_clock;
    struct Connection;

    void run();
    // Takes the connections that wait, while there is room for them.
    void accept();
    // One connection's turn after the poll: what its revents allow, then its buffered lines.
    End turn(Connection& c, short revents, Clock::time_point now);
    // Executes buffered lines until none is left or a batch of replies has gathered, then
    // sends what the socket takes.
    End answerBuffered(Connection& c);
    // Executes the line and queues its reply; false when a send failed.
    bool answer(Connection& c, const char* line, size_t length);
    // Sends queued replies without waiting; false when a send failed.
    static bool sendQueued(Connection& c);
    static bool sendBytes(int client, const char* data, size_t size);
    static void configureClient(int client);
    // The client's clocks start: it is waited for from now on.
    void beginWait(Connection& c) const;
    Clock::time_point lineDeadline(const Connection& c) const;
    Clock::time_point idleDeadline(const Connection& c) const;
    void close(Connection& c, End end);
    void closeAll();

    std::string listenAddress_;
    uint16_t port_;
    ClientTimeouts timeouts_;
    Clock::duration lineLimit_, idleLimit_; // zero: never
    const int maxClients_;
    mutable std::mutex listenMutex_; // guards listenSocket_ between start, stop and readers
    int listenSocket_ = -1;
    int wakeFd_ = -1; // an eventfd that stop writes to, to end the poll
    std::vector<std::unique_ptr<Connection>> slots_;
    std::atomic<int> connected_{0};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};

} // namespace kavelin
