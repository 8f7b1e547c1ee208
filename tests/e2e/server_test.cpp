// Starts the real program headless on a free loopback port and talks to it as a client would.
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kavelin::test;

namespace {

class HeadlessServerTest : public ::testing::Test {
protected:
    // The program, with its standard output in `name`.txt and its errors in `name`.err.
    std::unique_ptr<ChildProcess> start(const std::string& name,
                                        const std::vector<std::string>& options = {}) {
        return startHeadless(port, options, temp.file(name + ".txt"), temp.file(name + ".err"));
    }
    std::string out(const std::string& name) const { return readFile(temp.file(name + ".txt")); }

    TempDir temp{"kavelin-server"};
    uint16_t port = freePort();
};

} // namespace

TEST_F(HeadlessServerTest, TypicalSessionThenShutdownBySignal) {
    auto server = start("out");
    ASSERT_TRUE(becameReady(temp.file("out.txt")));
    {
        Client client(port);
        ASSERT_TRUE(client.connected());
        const std::string logo = std::string(KAVELIN_SOURCE_DIR) + "/examples/lower_third.tga";
        const std::pair<std::string, std::string> session[] = {
            {"116", "OK 0"}, {"121 0", "OK 0"},   {"63 0 " + logo, "OK"}, {"66 0 100 50", "OK"},
            {"75 0", "OK"},  {"88 0 0 25", "OK"}, {"124 0", "OK 400 60"}, {"1003 1 2", "ERROR"},
            {"117 0", "OK"}, {"", "OK"}};
        for (const auto& [line, reply] : session) {
            EXPECT_TRUE(client.send(line + "\n"));
            EXPECT_EQ(client.readLine(), reply + "\n") << line;
        }
    }
    ASSERT_TRUE(waitUntil([&] { return out("out").find("Disconnected") != std::string::npos; }));
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(5000), 0);
    EXPECT_EQ(out("out"), "Kavelin 4.0 initializing...\n"
                          "Server initializing...\n"
                          "Ready.\n"
                          "Connection established to 127.0.0.1\n"
                          "Layer 0 initialized. (tga)\n"
                          "Layer 0 position set to (100, 50)\n"
                          "Layer 0 set visible.\n"
                          "Layer 0 fading to 0 in 25 frames.\n"
                          "(HeadlessOutput) Unsupported command (1003)\n"
                          "Layer set 0 released.\n"
                          "- Disconnected!!!\n"
                          "Server shutting down...\n");
}

TEST_F(HeadlessServerTest, StalledClientsAreDisconnectedByTheTimeoutsGiven) {
    auto server = start("stall", {"--line-timeout", "0.3", "--idle-timeout", "0.5"});
    ASSERT_TRUE(becameReady(temp.file("stall.txt")));
    {
        Client half(port); // as a terminal sends it, then half a line
        ASSERT_TRUE(half.send("116\r\n116"));
        EXPECT_EQ(half.readLine(), "OK 0\n");
        EXPECT_TRUE(half.closedWithoutReply());
    }
    {
        Client silent(port);
        EXPECT_TRUE(silent.closedWithoutReply());
    }
    Client next(port);
    ASSERT_TRUE(next.send("121 0\n"));
    EXPECT_EQ(next.readLine(), "OK 0\n");
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(5000), 0);
    const std::string connected = "Connection established to 127.0.0.1\n";
    EXPECT_NE(out("stall").find(connected + "- Disconnected: a line not ended within 0.3 s.\n" +
                                connected + "- Disconnected: nothing received for 0.5 s.\n" +
                                connected),
              std::string::npos)
        << out("stall");
}
