// Starts the real program headless on a free loopback port and talks to it as a client would.
#include "net/ServerTestSupport.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using kavelin::test::Client;
using kavelin::test::freePort;
using kavelin::test::ServerProcess;

namespace {

class HeadlessServerTest : public ::testing::Test {
protected:
    void SetUp() override { port = freePort(); }

    std::unique_ptr<ServerProcess> startServer(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--headless", "--port", std::to_string(port), "--listen",
                                      "127.0.0.1"};
        args.insert(args.end(), extra.begin(), extra.end());
        auto server =
            std::make_unique<ServerProcess>(args, temp.file("out.txt"), temp.file("err.txt"));
        EXPECT_TRUE(server->waitForOutput("Ready.\n")) << server->output();
        return server;
    }
    std::string exchange(Client& client, const std::string& line) {
        EXPECT_TRUE(client.send(line + "\n"));
        return client.readLine();
    }

    kavelin::test::TempDir temp{"kavelin-server"};
    uint16_t port = 0;
};

} // namespace

TEST_F(HeadlessServerTest, TypicalSessionThenShutdownBySignal) {
    auto server = startServer();
    {
        Client client(port);
        ASSERT_TRUE(client.connected());
        const std::string logo =
            (fs::path(KAVELIN_SOURCE_DIR) / "examples/lower_third.tga").string();
        EXPECT_EQ(exchange(client, "116"), "OK 0\n");
        EXPECT_EQ(exchange(client, "121 0"), "OK 0\n");
        EXPECT_EQ(exchange(client, "63 0 " + logo), "OK\n");
        EXPECT_EQ(exchange(client, "66 0 100 50"), "OK\n");
        EXPECT_EQ(exchange(client, "75 0"), "OK\n");
        EXPECT_EQ(exchange(client, "88 0 0 25"), "OK\n");
        EXPECT_EQ(exchange(client, "124 0"), "OK 400 60\n");
        EXPECT_EQ(exchange(client, "1000 1 2"), "ERROR\n");
        EXPECT_EQ(exchange(client, "117 0"), "OK\n");
        EXPECT_EQ(exchange(client, ""), "OK\n");
        // Two lines in one segment, each answered in order.
        ASSERT_TRUE(client.send("116\n116\n"));
        EXPECT_EQ(client.readLine(), "OK 0\n");
        EXPECT_EQ(client.readLine(), "OK 1\n");
    }
    ASSERT_TRUE(server->waitForOutput("- Disconnected!!!\n"));
    server->signal(SIGTERM);
    EXPECT_EQ(server->waitExit(), 0);
    EXPECT_EQ(server->output(), "Kavelin 4.0 initializing...\n"
                                "Server initializing...\n"
                                "Ready.\n"
                                "Connection established to 127.0.0.1\n"
                                "Layer 0 initialized. (tga)\n"
                                "Layer 0 position set to (100, 50)\n"
                                "Layer 0 set visible.\n"
                                "Layer 0 fading to 0 in 25 frames.\n"
                                "(HeadlessOutput) Unsupported command (1000)\n"
                                "Layer set 0 released.\n"
                                "- Disconnected!!!\n"
                                "Server shutting down...\n");
}

TEST_F(HeadlessServerTest, OverlongLinesDropOnlyThatClient) {
    auto server = startServer();
    {
        Client client(port);
        ASSERT_TRUE(client.connected());
        EXPECT_EQ(exchange(client, "0" + std::string(1022, 'x')), "OK\n"); // 1023 bytes
        ASSERT_TRUE(client.send(std::string(1024, '1') + "\n"));
        EXPECT_TRUE(client.closedWithoutReply());
    }
    {
        Client client(port);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.send("116\n12")); // a partial line, then gone
    }
    Client next(port);
    ASSERT_TRUE(next.connected());
    EXPECT_EQ(exchange(next, "116"), "OK 1\n");
    server->signal(SIGINT);
    EXPECT_EQ(server->waitExit(), 0);
}

TEST_F(HeadlessServerTest, ClientsAreServedOneAfterAnother) {
    auto server = startServer();
    auto first = std::make_unique<Client>(port);
    ASSERT_TRUE(first->connected());
    EXPECT_EQ(exchange(*first, "116"), "OK 0\n");
    Client second(port); // accepted by the kernel, served only when the first leaves
    ASSERT_TRUE(second.connected());
    ASSERT_TRUE(second.send("116\n"));
    EXPECT_TRUE(second.silentFor(300));
    first.reset();
    EXPECT_EQ(second.readLine(), "OK 1\n");
    server->signal(SIGTERM);
    EXPECT_EQ(server->waitExit(), 0);
}

TEST_F(HeadlessServerTest, TenClientsAtOnceAreServedInTurn) {
    auto server = startServer();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 10; ++i) {
        clients.push_back(std::make_unique<Client>(port));
        ASSERT_TRUE(clients.back()->connected());
        ASSERT_TRUE(clients.back()->send("116\n"));
    }
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(clients[static_cast<size_t>(i)]->readLine(), "OK " + std::to_string(i) + "\n");
        clients[static_cast<size_t>(i)].reset();
    }
    server->signal(SIGTERM);
    EXPECT_EQ(server->waitExit(), 0);
}

TEST_F(HeadlessServerTest, ATakenPortEndsTheProgramWithCodeOne) {
    auto first = startServer();
    ServerProcess second({"--headless", "--port", std::to_string(port), "--listen", "127.0.0.1"},
                         temp.file("out2.txt"), temp.file("err2.txt"));
    EXPECT_EQ(second.waitExit(), 1);
    EXPECT_EQ(second.output(), "Kavelin 4.0 initializing...\n"
                               "Server initializing...\n"
                               "Unable to initialize command source!\n"
                               "Error occured.\n\n"
                               "Server shutting down...\n"); // released when the program ends
    EXPECT_NE(second.errors().find("cannot listen on 127.0.0.1 port " + std::to_string(port)),
              std::string::npos)
        << second.errors();
    first->signal(SIGTERM);
    EXPECT_EQ(first->waitExit(), 0);
}
