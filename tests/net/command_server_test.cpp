#include "net/CommandServer.h"

#include "commands/Command.h"
#include "support/ChildProcess.h"
#include "support/RecordingLog.h"
#include "support/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <numeric>

using namespace std::chrono_literals;
using kavelin::Command;
using kavelin::CommandServer;
using kavelin::test::Client;
using kavelin::test::RecordingLog;
using Lines = std::vector<std::string>;

namespace {

std::string repeated(const std::string& line, int count) {
    std::string all;
    while (count-- > 0)
        all += line;
    return all;
}

// All diagnostics so far, joined.
std::string diagnostics(const RecordingLog& log) {
    const Lines lines = log.diagnostics();
    return std::accumulate(lines.begin(), lines.end(), std::string());
}

// Records the lines it is given; 99 fails, 7 answers with its argument text, 8 with 1000 bytes,
// anything else "OK".
class RecordingExecutor {
public:
    kavelin::LineExecutor function() {
        return [this](const char* line, size_t length) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line, length);
            EXPECT_EQ(line[length], '\0'); // every line comes NUL-terminated
            const kavelin::Command command(line, length);
            return command.number() == 99  ? std::string("ERROR")
                   : command.number() == 7 ? "OK " + std::string(command.arguments())
                   : command.number() == 8 ? "OK " + std::string(1000, 'r')
                                           : std::string("OK");
        };
    }
    Lines lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    mutable std::mutex mutex_;
    Lines lines_;
};

// A started server on a loopback port whose lines go to a RecordingExecutor.
struct Served {
    explicit Served(kavelin::ClientTimeouts timeouts = {}, int clients = 1)
        : server(std::make_unique<CommandServer>(log, 0, "127.0.0.1", timeouts, clients)) {
        EXPECT_TRUE(server->start());
        EXPECT_NE(server->port(), 0);
        server->setExecutor(executor.function());
    }
    uint16_t port() const { return server->port(); }

    RecordingLog log;
    RecordingExecutor executor;
    std::unique_ptr<CommandServer> server;
};

class CommandServerTest : public ::testing::Test, public Served {
protected:
    // A new client gets the answer to one line: the server is free and serving.
    void expectServed() {
        Client client(port());
        ASSERT_TRUE(client.send("7 next\n"));
        EXPECT_EQ(client.readLine(), "OK next\n");
    }
};

} // namespace

TEST_F(CommandServerTest, EveryLineIsExecutedWholeAndAnsweredInOrder) {
    Client client(server->port());
    // One segment, several lines; a CR stays part of its line, a zero byte is passed on.
    const std::string withZero("7 a\0b\0", 6);
    ASSERT_TRUE(client.send("abc\n\n7 10 20\n99 x\n7 a b\r\n" + withZero + "\n"));
    for (const char* reply : {"OK\n", "OK\n", "OK 10 20\n", "ERROR\n", "OK a b\r\n", "OK a\n"})
        EXPECT_EQ(client.readLine(), reply);
    EXPECT_EQ(executor.lines(), (Lines{"abc", "", "7 10 20", "99 x", "7 a b\r", withZero}));
    EXPECT_EQ(diagnostics(log), "Server initializing...\nConnection established to 127.0.0.1\n");
}

TEST_F(CommandServerTest, LongestLineIsServedOneMoreByteDropsTheClientSilently) {
    Client client(server->port());
    ASSERT_TRUE(client.send("7 " + std::string(1021, 'a') + "\n")); // 1023 bytes
    EXPECT_EQ(client.readLine(), "OK " + std::string(1021, 'a') + "\n");
    client.send("7 " + std::string(1022, 'b') + "\n");
    EXPECT_TRUE(client.closedWithoutReply());
    EXPECT_EQ(executor.lines().size(), 1u);
    expectServed();
    // The first client's end was not reported before the next one came.
    const std::string connected = "Connection established to 127.0.0.1\n";
    EXPECT_EQ(diagnostics(log).rfind("Server initializing...\n" + connected + connected, 0), 0u);
}

// Megabytes of replies nobody reads, then a reset: the blocked send fails, and the next client
// is served.
TEST_F(CommandServerTest, AResetClientNeverDisturbsTheNext) {
    {
        Client client(server->port());
        ASSERT_TRUE(client.send(repeated("8\n", 20000)));
        ASSERT_FALSE(client.readLine().empty());
        client.abort();
    }
    EXPECT_TRUE(kavelin::test::waitUntil(
        [&] { return diagnostics(log).find("Error on send()") != std::string::npos; }));
    expectServed();
}

// With room for two, both controllers are served at once: lines they send in turns, one by one
// or several at a time, are each executed whole and answered to their sender in order. Neither
// a half-sent line, nor replies left unread, nor a line timeout of the one holds up the other.
// A third waits in the backlog, counted as waiting, until one leaves.
TEST(CommandServerClients, TwoControllersAreServedAtOnceAndAThirdWaitsForAPlace) {
    Served s({0.3, 0}, 2);
    CommandServer& server = *s.server;
    auto a = std::make_unique<Client>(server.port());
    Client b(server.port());
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(a->send("7 a" + n + "\n") && b.send("7 b" + n + "\n7 c" + n + "\n"));
        EXPECT_EQ(a->readLine(), "OK a" + n + "\n");
        EXPECT_EQ(b.readLine(), "OK b" + n + "\n");
        EXPECT_EQ(b.readLine(), "OK c" + n + "\n");
    }
    EXPECT_EQ(s.executor.lines().size(), 60u);
    EXPECT_EQ(server.clientsConnected(), 2);

    // a: megabytes of replies it does not read; b is answered meanwhile.
    ASSERT_TRUE(a->send(repeated("8\n", 5000)));
    ASSERT_TRUE(b.send("7 half"));
    ASSERT_TRUE(b.send(" line\n"));
    EXPECT_EQ(b.readLine(), "OK half line\n");
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(a->readLine(), "OK " + std::string(1000, 'r') + "\n") << i;

    Client c(server.port()); // waits in the backlog
    ASSERT_TRUE(c.send("7 third\n"));
    EXPECT_TRUE(c.silentFor(150));
    EXPECT_EQ(server.clientsWaiting(), 1);
    // b's line timeout ends b alone; c takes its place while a is still served.
    ASSERT_TRUE(b.send("7 never ended"));
    EXPECT_TRUE(b.closedWithoutReply());
    EXPECT_EQ(c.readLine(), "OK third\n");
    ASSERT_TRUE(a->send("7 still\n"));
    EXPECT_EQ(a->readLine(), "OK still\n");
    EXPECT_EQ(server.clientsWaiting(), 0);

    Client d(server.port()); // and when a leaves, d is served
    ASSERT_TRUE(d.send("7 fourth\n"));
    EXPECT_TRUE(d.silentFor(100));
    a.reset();
    EXPECT_EQ(d.readLine(), "OK fourth\n");
    EXPECT_TRUE(kavelin::test::waitUntil([&] { return server.clientsConnected() == 2; }));
    const std::string connected = "Connection established to 127.0.0.1\n";
    EXPECT_EQ(diagnostics(s.log), "Server initializing...\n" + connected + connected +
                                      "- Disconnected: a line not ended within 0.3 s.\n" +
                                      connected + "- Disconnected!!!\n" + connected);
}

// A client that leaves a line unfinished, or sends nothing, past its timeout is disconnected
// with a log line that says why, and the client waiting behind it is served.
TEST(CommandServerTimeouts, AStalledClientIsDisconnectedAndTheNextServed) {
    struct Case {
        kavelin::ClientTimeouts timeouts;
        std::string sent, reply, why;
    };
    const Case cases[] = {
        {{0.3, 0}, "7 half", "", "- Disconnected: a line not ended within 0.3 s.\n"},
        {{10, 0.3}, "7 one\n", "OK one\n", "- Disconnected: nothing received for 0.3 s.\n"},
        {{0.2, 0.3}, "7 half", "", "- Disconnected: a line not ended within 0.2 s.\n"},
    };
    for (const Case& c : cases) {
        Served s(c.timeouts);
        Client stalled(s.port());
        ASSERT_TRUE(stalled.send(c.sent));
        if (!c.reply.empty()) {
            EXPECT_EQ(stalled.readLine(), c.reply) << c.why;
        }
        Client next(s.port()); // waits in the backlog
        ASSERT_TRUE(next.send("7 next\n"));
        EXPECT_TRUE(stalled.closedWithoutReply()) << c.why;
        EXPECT_EQ(next.readLine(), "OK next\n") << c.why;
        const std::string connected = "Connection established to 127.0.0.1\n";
        EXPECT_EQ(diagnostics(s.log), "Server initializing...\n" + connected + c.why + connected);
    }
}

// The line timeout runs only while a line is begun: without an idle timeout, a client that
// is silent before its first line or between lines keeps its connection.
TEST(CommandServerTimeouts, ASilentClientStaysWithoutAnIdleTimeout) {
    for (const std::string before : {"", "7 one\n"}) {
        Served s({0.1, 0});
        Client client(s.port());
        ASSERT_TRUE(client.send(before));
        if (!before.empty()) {
            ASSERT_EQ(client.readLine(), "OK one\n");
        }
        EXPECT_TRUE(client.silentFor(400)) << before; // four line timeouts: still open
        ASSERT_TRUE(client.send("7 still\n"));
        EXPECT_EQ(client.readLine(), "OK still\n") << before;
        EXPECT_EQ(diagnostics(s.log),
                  "Server initializing...\nConnection established to 127.0.0.1\n");
    }
}

TEST(CommandServerStart, LinesBeforeTheExecutorAreRefusedAndAPortIsNotTakenTwice) {
    RecordingLog log;
    RecordingExecutor executor;
    CommandServer server(log, 0, "127.0.0.1");
    ASSERT_TRUE(server.start());
    Client client(server.port());
    ASSERT_TRUE(client.send("7 early\n0\n"));
    EXPECT_EQ(client.readLine(), "ERROR\n");
    EXPECT_EQ(client.readLine(), "ERROR\n");
    server.setExecutor(executor.function());
    ASSERT_TRUE(client.send("7 late\n"));
    EXPECT_EQ(client.readLine(), "OK late\n");
    EXPECT_EQ(executor.lines(), Lines{"7 late"});

    RecordingLog otherLog; // a port is not taken twice
    EXPECT_FALSE(CommandServer(otherLog, server.port(), "127.0.0.1").start());
    EXPECT_EQ(diagnostics(otherLog), "Server initializing...\nServer shutting down...\n");
    ASSERT_TRUE(client.send("7 still\n"));
    EXPECT_EQ(client.readLine(), "OK still\n");
}

TEST(CommandServerStop, ReturnsPromptlyWhereverTheServerWaits) {
    // "line": in the middle of a line, with its timeout running.
    for (const std::string waitsIn : {"accept", "recv", "line", "send"}) {
        Served s;
        std::optional<Client> client;
        const std::string connected =
            waitsIn == "accept" ? "" : "Connection established to 127.0.0.1\n";
        if (!connected.empty()) {
            client.emplace(s.port());
            ASSERT_TRUE(client->send(waitsIn == "recv"   ? "7 x\n"
                                     : waitsIn == "line" ? "7 x\n7 y"
                                                         : repeated("8\n", 20000)));
            ASSERT_FALSE(client->readLine().empty()); // connected and served
        }
        const auto before = std::chrono::steady_clock::now();
        s.server.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 1s) << waitsIn;
        EXPECT_TRUE(waitsIn == "accept" || waitsIn == "send" || client->closedWithoutReply());
        // Cut off by the stop: neither a disconnection nor a send error is reported.
        EXPECT_EQ(diagnostics(s.log),
                  "Server initializing...\n" + connected + "Server shutting down...\n");
    }
}

// How a received line is read as a command: its number and its argument text.
TEST(CommandLineGrammar, NumberAndArguments) {
    struct Case {
        std::string line;
        int32_t number;
        std::string arguments;
    };
    // Leading white space is skipped for the number but is itself the separator; a CR is kept
    // in the arguments, or is the separator when it comes first; bytes of 0x80 and above are
    // not white space; a zero byte ends the line; lines without a number are number 0; numbers
    // beyond the 32-bit range saturate.
    const Case cases[] = {{"5", 5, ""},
                          {"5 10 20", 5, "10 20"},
                          {"5  10", 5, " 10"},
                          {" 5 10", 5, "5 10"},
                          {"-3 x", -3, "x"},
                          {"\v\f12\x0b", 12, "\f12\x0b"},
                          {"5 abc\r", 5, "abc\r"},
                          {"5\r", 5, ""},
                          {"5\xa0x y", 5, "y"},
                          {std::string("6\0 1 2", 6), 6, ""},
                          {std::string("1\0002", 3), 1, ""},
                          {"", 0, ""},
                          {"- 5", 0, "5"},
                          {"99999999999999999999 1", INT32_MAX, "1"},
                          {"-99999999999999999999 1", INT32_MIN, "1"},
                          {"2147483648", INT32_MAX, ""}};
    for (const Case& c : cases) {
        const Command command(c.line.c_str(), c.line.size());
        EXPECT_EQ(command.number(), c.number) << c.line;
        EXPECT_EQ(command.arguments(), c.arguments) << c.line;
        // The whole line stays reachable, zero bytes included (for UTF-16 free text).
        EXPECT_EQ(std::string(command.line(), command.lineLength()), c.line);
    }
}
