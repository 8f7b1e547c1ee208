// `kavelin send` against the real server: replies in order, exit codes, a long pipelined file,
// and servers that cannot be reached or do not answer.
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using namespace kavelin::test;

namespace {

class SendTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = startHeadless(port, {}, temp.file("server.txt"));
        ASSERT_TRUE(becameReady(temp.file("server.txt")));
    }
    // `kavelin send` with these options on a file of these bytes; its error text in `err`.
    ProgramResult send(const std::string& input, const std::string& options = "") {
        std::ofstream(temp.file("in.txt"), std::ios::binary) << input;
        ProgramResult result =
            runProgram(std::string(KAVELIN_BINARY) + " send --port " + std::to_string(port) + " " +
                       options + " " + temp.file("in.txt") + " 2>" + temp.file("err.txt"));
        err = readFile(temp.file("err.txt"));
        return result;
    }

    TempDir temp{"kavelin-send"};
    uint16_t port = freePort();
    std::unique_ptr<ChildProcess> server;
    std::string err;
};

} // namespace

TEST_F(SendTest, PrintsEachReplyInOrderAndExitsByTheWorstOfThem) {
    const ProgramResult ok = send("116\n121 0\r\n\n124 0");
    EXPECT_EQ(ok.out, "OK 0\nOK 0\nOK\nERROR\n");
    EXPECT_EQ(ok.exitCode, 1);

    const ProgramResult allOk = send("116\n121 1\n");
    EXPECT_EQ(allOk.out, "OK 1\nOK 1\n");
    EXPECT_EQ(allOk.exitCode, 0);

    // A line that cannot go out keeps its place, and the lines after it still go.
    const ProgramResult refused = send("121 0\n107 0 上\n121 0\n");
    EXPECT_EQ(refused.out, "OK 2\nERROR not sent: U+4E0A holds a byte 0x0A in UTF-16, which "
                           "would end the line\nOK 3\n");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(err, "kavelin send: line 2 not sent: U+4E0A holds a byte 0x0A in UTF-16, which "
                   "would end the line\n");

    // As the README has it, from standard input.
    EXPECT_EQ(runProgram("echo '121 0' | " + std::string(KAVELIN_BINARY) + " send --port " +
                         std::to_string(port) + " -")
                  .out,
              "OK 4\n");
}

TEST_F(SendTest, ALongFileIsPipelinedWithoutDeadlock) {
    // A server with small socket buffers and long replies: a client that read the replies only
    // after sending its 10 MB would stall with it, each waiting for the other to read.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    ::setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ::setsockopt(listener, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string reply = "OK " + std::string(100, 'r') + "\n";
    std::thread server([&] {
        const int client = ::accept(listener, nullptr, nullptr);
        char chunk[65536];
        for (ssize_t n; (n = ::recv(client, chunk, sizeof chunk, 0)) > 0;)
            for (ssize_t i = 0; i < n; ++i)
                if (chunk[i] == '\n' &&
                    ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL) <= 0)
                    n = 0;
        ::close(client);
    });
    constexpr int kLines = 50000;
    std::string input;
    for (int i = 0; i < kLines; ++i)
        input += "0 " + std::string(198, 'x') + "\n";
    const ProgramResult result = send(input, "--port " + std::to_string(ntohs(address.sin_port)));
    server.join();
    ::close(listener);
    EXPECT_EQ(result.exitCode, 0) << err;
    std::string expected;
    for (int i = 0; i < kLines; ++i)
        expected += reply;
    EXPECT_TRUE(result.out == expected) << result.out.size() << " bytes of replies";
}

TEST_F(SendTest, ServersThatCannotBeReachedOrDoNotAnswerExitWithTwo) {
    // Nothing listens on this port.
    const ProgramResult refused = send("116\n", "--port " + std::to_string(freePort()));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(err.find("cannot connect to 127.0.0.1 port"), std::string::npos) << err;

    // A port that takes the connection and never answers.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const ProgramResult unanswered =
        send("116\n", "--timeout 0.2 --port " + std::to_string(ntohs(address.sin_port)));
    ::close(silent);
    EXPECT_EQ(unanswered.exitCode, 2);
    EXPECT_NE(err.find("no reply within 0.2 s"), std::string::npos) << err;

    for (const char* options : {"--timeout -1", "a b"}) {
        EXPECT_EQ(send("116\n", options).exitCode, 2) << options;
        EXPECT_NE(err.find("kavelin send --help"), std::string::npos) << options << ": " << err;
    }
}
