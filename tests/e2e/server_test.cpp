// Starts the real program headless on a free loopback port and talks to it as a client would.
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kavelin::test;

namespace {

class HeadlessServerTest : public ::testing::Test {
protected:
    // The program, with its standard output in `name`.txt and its errors in `name`.err. It
    // inherits a JOURNAL_STREAM that is not its output: its lines stay plain.
    std::unique_ptr<ChildProcess> start(const std::string& name,
                                        const std::vector<std::string>& options = {}) {
        struct stat null {};
        ::stat("/dev/null", &null);
        return startHeadless(
            port, options, temp.file(name + ".txt"), temp.file(name + ".err"),
            {{"JOURNAL_STREAM", std::to_string(null.st_dev) + ":" + std::to_string(null.st_ino)}});
    }
    std::string out(const std::string& name) const { return readFile(temp.file(name + ".txt")); }

    TempDir temp{"kavelin-server"};
    uint16_t port = freePort();
};

} // namespace

// A typical session, then clients that stall (a line never ended, nothing sent), then SIGTERM.
TEST_F(HeadlessServerTest, TypicalSessionStalledClientsThenShutdownBySignal) {
    auto server = start("out", {"--line-timeout", "0.3", "--idle-timeout", "2"});
    ASSERT_TRUE(becameReady(temp.file("out.txt")));
    {
        Client client(port);
        ASSERT_TRUE(client.connected());
        // What each command does and logs is the commands' and the golden scene's to check.
        const std::pair<std::string, std::string> session[] = {
            {"116", "OK 0"}, {"1003 1 2", "ERROR"}, {"117 0", "OK"}, {"", "OK"}};
        for (const auto& [line, reply] : session) {
            EXPECT_TRUE(client.send(line + "\n"));
            EXPECT_EQ(client.readLine(), reply + "\n") << line;
        }
    }
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
    ASSERT_TRUE(
        waitUntil([&] { return out("out").find("nothing received") != std::string::npos; }));
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(5000), 0);
    EXPECT_EQ(out("out"), "Kavelin 4.0 initializing...\n"
                          "Server initializing...\n"
                          "Ready.\n"
                          "Connection established to 127.0.0.1\n"
                          "(HeadlessOutput) Unsupported command (1003)\n"
                          "Layer set 0 released.\n"
                          "- Disconnected!!!\n"
                          "Connection established to 127.0.0.1\n"
                          "- Disconnected: a line not ended within 0.3 s.\n"
                          "Connection established to 127.0.0.1\n"
                          "- Disconnected: nothing received for 2 s.\n"
                          "Server shutting down...\n");
}
