// The real program under a service manager's eyes: the notifications it sends on a socket the
// test binds, and its log lines for machines and for the journal.
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/un.h>

using namespace kavelin::test;

namespace {

// A datagram socket in the abstract namespace, as systemd's NOTIFY_SOCKET; reads wait 10 s.
class NotifySocket {
public:
    NotifySocket() : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        name_ = "kavelin-notify-" + std::to_string(::getpid()) + "-" + std::to_string(fd_);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        name_.copy(address.sun_path + 1, name_.size());
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name_.size());
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
        const timeval limit{10, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~NotifySocket() { ::close(fd_); }

    bool bound() const { return bound_; }
    std::string variable() const { return "@" + name_; }
    // The next message, or "" when none came; `wait` false: only one already there.
    std::string next(bool wait = true) {
        char message[4096];
        const ssize_t n = ::recv(fd_, message, sizeof message, wait ? 0 : MSG_DONTWAIT);
        return n > 0 ? std::string(message, size_t(n)) : "";
    }

private:
    int fd_;
    std::string name_;
    bool bound_ = false;
};

class ServiceTest : public ::testing::Test {
protected:
    std::unique_ptr<ChildProcess> start(const std::string& name,
                                        const std::map<std::string, std::string>& env,
                                        const std::vector<std::string>& options = {}) {
        return startHeadless(port, options, temp.file(name), "", env);
    }
    std::string out(const std::string& name) const { return readFile(temp.file(name)); }
    // JOURNAL_STREAM for a file that the program's standard output will be (the file is made
    // now and only truncated when the program opens it).
    std::string journalStreamOf(const std::string& name) const {
        std::ofstream{temp.file(name)};
        struct stat status {};
        ::stat(temp.file(name).c_str(), &status);
        return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    }

    TempDir temp{"kavelin-service"};
    uint16_t port = freePort();
};

} // namespace

// Standard output is the journal's stream: plain lines behind their priority. (A JOURNAL_STREAM
// inherited by a program whose output went elsewhere changes nothing: tests/e2e/server_test.cpp.)
TEST_F(ServiceTest, TellsTheManagerReadyWatchdogAndStoppingAndTheJournalPriorities) {
    NotifySocket manager;
    ASSERT_TRUE(manager.bound());
    // A watchdog of 0.2 s: the server looks every 0.1 s.
    auto server = start("out", {{"NOTIFY_SOCKET", manager.variable()},
                                {"WATCHDOG_USEC", "200000"},
                                {"JOURNAL_STREAM", journalStreamOf("out")}});
    ASSERT_EQ(manager.next(), "READY=1");
    {
        // Ready means the port listens.
        Client client(port);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.send("116\n"));
        EXPECT_EQ(client.readLine(), "OK 0\n");
    }
    EXPECT_EQ(manager.next(), "WATCHDOG=1");
    EXPECT_EQ(manager.next(), "WATCHDOG=1");
    ASSERT_TRUE(waitUntil([&] { return out("out").find("Disconnected") != std::string::npos; }));
    server->signal(SIGTERM);
    std::string message;
    while ((message = manager.next()) == "WATCHDOG=1") {
    }
    EXPECT_EQ(message, "STOPPING=1");
    EXPECT_EQ(server->wait(5000), 0);
    EXPECT_EQ(manager.next(false), "") << "nothing after STOPPING=1";
    EXPECT_EQ(out("out"), "<6>Kavelin 4.0 initializing...\n"
                          "<6>Server initializing...\n"
                          "<6>Ready.\n"
                          "<6>Connection established to 127.0.0.1\n"
                          "<6>- Disconnected!!!\n"
                          "<6>Server shutting down...\n");
}

// How each level is written is in tests/engine/log_style_test.cpp; here, that the program
// started as the service template starts it, with --config FILE, takes the file's log format,
// stamps its lines with the time they were made and gives the journal their priorities.
TEST_F(ServiceTest, TimestampedLinesCarryTheTimeAndLevelAndTheJournalGetsPriorities) {
    std::ofstream(temp.file("studio1.toml")) << "log-format = \"timestamped\"\n";
    const auto before = std::chrono::system_clock::now();
    auto server = start("out", {{"JOURNAL_STREAM", journalStreamOf("out")}},
                        {"--config", temp.file("studio1.toml")});
    ASSERT_TRUE(becameReady(temp.file("out")));
    {
        Client client(port);
        ASSERT_TRUE(client.send("66 0\n"));
        EXPECT_EQ(client.readLine(), "ERROR\n");
    }
    ASSERT_TRUE(waitUntil([&] { return out("out").find("Disconnected") != std::string::npos; }));
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(5000), 0);
    const auto after = std::chrono::system_clock::now();

    const std::regex shape(R"(<([36])>(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z) (INFO|ERROR) (.*))");
    std::string texts;
    std::istringstream lines(out("out"));
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        std::tm utc{};
        std::istringstream(m[2].str()) >> std::get_time(&utc, "%Y-%m-%dT%H:%M:%S");
        const auto time = std::chrono::system_clock::from_time_t(::timegm(&utc));
        EXPECT_GE(time, std::chrono::floor<std::chrono::seconds>(before)) << line;
        EXPECT_LE(time, after) << line;
        texts += m[1].str() + " " + m[3].str() + " " + m[4].str() + "\n";
    }
    EXPECT_NE(texts.find("6 INFO Ready.\n"), std::string::npos) << texts;
    EXPECT_NE(texts.find("3 ERROR ERROR : Missing arguments for command 66.\n"), std::string::npos)
        << texts;
}
