#include "net/CommandServer.h"

#include "net/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

using namespace std::chrono_literals;
using kavelin::CommandServer;
using kavelin::test::Client;
using kavelin::test::Diagnostics;
using kavelin::test::FakeSink;
using SteadyClock = std::chrono::steady_clock;

namespace {

class CommandServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<CommandServer>(0, "127.0.0.1");
        server->setDiagnostics(diagnostics.stream());
        ASSERT_TRUE(server->start());
        ASSERT_NE(server->port(), 0);
        server->setProcessor(&sink);
    }
    void TearDown() override { server.reset(); }

    // A client that gets the answer to one line: the server serves it.
    void expectServed() {
        Client client(server->port());
        ASSERT_TRUE(client.send("7 next\n"));
        EXPECT_EQ(client.readLine(), "OK next\n");
    }

    Diagnostics diagnostics;
    FakeSink sink;
    std::unique_ptr<CommandServer> server;
};

} // namespace

TEST_F(CommandServerTest, RepliesToEveryLineInOrderWithItsResult) {
    Client client(server->port());
    ASSERT_TRUE(client.connected());
    // One segment, several lines: each gets its own reply, in order.
    ASSERT_TRUE(client.send("abc\n0\n7 10 20\n7\n99 x\n7 a b\r\n"));
    EXPECT_EQ(client.readLine(), "OK\n");
    EXPECT_EQ(client.readLine(), "OK\n");
    EXPECT_EQ(client.readLine(), "OK 10 20\n");
    EXPECT_EQ(client.readLine(), "OK \n"); // an empty result keeps its space
    EXPECT_EQ(client.readLine(), "ERROR\n");
    EXPECT_EQ(client.readLine(), "OK a b\r\n");
    EXPECT_EQ(sink.lines(),
              (std::vector<std::string>{"abc", "0", "7 10 20", "7", "99 x", "7 a b\r"}));
    EXPECT_TRUE(diagnostics.waitFor("Server initializing...\nConnection established to "
                                    "127.0.0.1\n"));
}

TEST_F(CommandServerTest, ZeroBytesArePassedOnWithTheWholeLength) {
    Client client(server->port());
    const std::string line("7 a\0b\0", 6);
    ASSERT_TRUE(client.send(line + "\n"));
    EXPECT_EQ(client.readLine(), "OK a\n"); // the arguments end at the first zero byte
    ASSERT_EQ(sink.lines().size(), 1u);
    EXPECT_EQ(sink.lines()[0], line);
}

TEST_F(CommandServerTest, LongestLineIsServedOneMoreByteDisconnects) {
    Client client(server->port());
    const std::string longest = "7 " + std::string(1021, 'a');
    ASSERT_EQ(longest.size(), 1023u);
    ASSERT_TRUE(client.send(longest + "\n"));
    EXPECT_EQ(client.readLine(), "OK " + std::string(1021, 'a') + "\n");

    // 1024 bytes with no line feed among them: closed without a reply.
    client.send("7 " + std::string(1022, 'b') + "\n");
    EXPECT_TRUE(client.closedWithoutReply());
    EXPECT_EQ(sink.lines().size(), 1u);

    // Served only once the server is done with the first client, which ended silently.
    Client next(server->port());
    ASSERT_TRUE(next.send("7 next\n"));
    EXPECT_EQ(next.readLine(), "OK next\n");
    EXPECT_EQ(diagnostics.text().find("- Disconnected!!!"), std::string::npos);
}

TEST_F(CommandServerTest, SecondClientIsServedOnlyAfterTheFirstLeaves) {
    auto first = std::make_unique<Client>(server->port());
    ASSERT_TRUE(first->send("7 one\n"));
    ASSERT_EQ(first->readLine(), "OK one\n");

    Client second(server->port());
    ASSERT_TRUE(second.connected()); // waits in the backlog
    ASSERT_TRUE(second.send("7 two\n"));
    EXPECT_TRUE(second.silentFor(150));

    first.reset();
    EXPECT_EQ(second.readLine(), "OK two\n");
    EXPECT_TRUE(diagnostics.waitFor("- Disconnected!!!\nConnection established to 127.0.0.1\n"));
}

TEST_F(CommandServerTest, PartialLineThenDisconnectGetsNoReply) {
    {
        Client client(server->port());
        ASSERT_TRUE(client.send("7 partial"));
        ASSERT_TRUE(diagnostics.waitFor("Connection established"));
    }
    EXPECT_TRUE(diagnostics.waitFor("- Disconnected!!!\n"));
    expectServed();
    EXPECT_EQ(sink.lines(), std::vector<std::string>{"7 next"});
}

TEST_F(CommandServerTest, GarbageNeverDisturbsTheNextClient) {
    {
        // A megabyte without a line feed.
        Client client(server->port());
        client.send(std::string(1 << 20, 'x'));
        EXPECT_TRUE(client.closedWithoutReply());
    }
    expectServed();
    {
        // Binary bytes of every value, cut into lines wherever a 0x0A falls, then a partial
        // line and a close: every complete line is answered, nothing more.
        Client client(server->port());
        std::string bytes;
        for (int i = 0; i < 4096; ++i)
            bytes.push_back(static_cast<char>((i * 7919) & 0xFF));
        const size_t lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
        ASSERT_TRUE(client.send(bytes));
        for (size_t i = 0; i < lines; ++i)
            ASSERT_FALSE(client.readLine().empty()) << i;
    }
    expectServed();
}

TEST_F(CommandServerTest, PipelinedRepliesArriveWholeAndInOrder) {
    Client client(server->port());
    // Replies of 1004 bytes that the client does not read at first: the server's sends block
    // and must be continued until each reply is out.
    std::string burst;
    for (int i = 0; i < 3000; ++i)
        burst += "8\n";
    ASSERT_TRUE(client.send(burst));
    const std::string reply = "OK " + std::string(1000, 'r') + "\n";
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(client.readBytes(reply.size()), reply) << i;

    std::string numbered;
    for (int i = 0; i < 5000; ++i)
        numbered += "7 " + std::to_string(i) + "\n";
    ASSERT_TRUE(client.send(numbered));
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(client.readLine(), "OK " + std::to_string(i) + "\n");
}

TEST_F(CommandServerTest, LinesBeforeTheProcessorIsAttachedAreAnsweredError) {
    server->setProcessor(nullptr);
    Client client(server->port());
    ASSERT_TRUE(client.send("7 early\n0\n"));
    EXPECT_EQ(client.readLine(), "ERROR\n");
    EXPECT_EQ(client.readLine(), "ERROR\n");
    server->setProcessor(&sink);
    ASSERT_TRUE(client.send("7 late\n"));
    EXPECT_EQ(client.readLine(), "OK late\n");
    EXPECT_EQ(sink.lines(), std::vector<std::string>{"7 late"});
}

TEST_F(CommandServerTest, StopWithAClientConnectedReturnsPromptly) {
    Client client(server->port());
    ASSERT_TRUE(client.send("7 x\n"));
    ASSERT_EQ(client.readLine(), "OK x\n"); // the server now waits in a receive

    const auto before = SteadyClock::now();
    server.reset();
    EXPECT_LT(SteadyClock::now() - before, 1s);
    EXPECT_TRUE(client.closedWithoutReply());
    const std::string text = diagnostics.text();
    EXPECT_EQ(text.find("- Disconnected!!!"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 24), "Server shutting down...\n");
}

TEST_F(CommandServerTest, StopWhileASendIsBlockedReturnsPromptly) {
    Client client(server->port());
    std::string burst;
    for (int i = 0; i < 20000; ++i)
        burst += "8\n";
    ASSERT_TRUE(client.send(burst)); // 20 MB of replies that nobody reads
    std::this_thread::sleep_for(50ms);

    const auto before = SteadyClock::now();
    server.reset();
    EXPECT_LT(SteadyClock::now() - before, 1s);
    EXPECT_EQ(diagnostics.text().find("Error on send()"), std::string::npos);
}

TEST_F(CommandServerTest, StopWhileWaitingInAcceptReturnsPromptly) {
    std::this_thread::sleep_for(20ms);
    const auto before = SteadyClock::now();
    server.reset();
    EXPECT_LT(SteadyClock::now() - before, 1s);
    EXPECT_EQ(diagnostics.text(), "Server initializing...\nServer shutting down...\n");
}

TEST_F(CommandServerTest, StartFailsWhenThePortIsTaken) {
    Diagnostics otherDiagnostics;
    {
        CommandServer other(server->port(), "127.0.0.1");
        other.setDiagnostics(otherDiagnostics.stream());
        EXPECT_FALSE(other.start());
        EXPECT_EQ(otherDiagnostics.text(), "Server initializing...\n");
    }
    EXPECT_EQ(otherDiagnostics.text(), "Server initializing...\nServer shutting down...\n");
    CommandServer badAddress(0, "not an address");
    badAddress.setDiagnostics(otherDiagnostics.stream());
    EXPECT_FALSE(badAddress.start());
    // The first server is undisturbed.
    expectServed();
}
