// The real program headless on a free loopback port: a client's session and the clients that
// stall, the service manager's notifications on a socket the test binds, its log lines for
// machines and for the journal, and its metrics port.
#include "support/HeadlessServer.h"
#include "support/HttpGet.h"
#include "support/PrometheusParser.h"
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

class HeadlessProgramTest : public ::testing::Test {
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

    TempDir temp{"kavelin-headless"};
    uint16_t port = freePort();
};

} // namespace

// The program started as the service template starts it, with --config FILE, its standard
// output the journal's stream. How each level is written is in tests/engine/log_style_test.cpp;
// here, that the program takes the file's log format, stamps its lines with the time they were
// made and gives the journal their priorities. (A JOURNAL_STREAM inherited by a program whose
// output went elsewhere changes nothing: the session's test.)
TEST_F(HeadlessProgramTest, TellsTheManagerReadyWatchdogAndStoppingAndTheJournalItsLines) {
    NotifySocket manager;
    ASSERT_TRUE(manager.bound());
    std::ofstream(temp.file("studio1.toml")) << "log-format = \"timestamped\"\n";
    const auto before = std::chrono::system_clock::now();
    // A watchdog of 0.2 s: the server looks every 0.1 s.
    auto server = start("out",
                        {{"NOTIFY_SOCKET", manager.variable()},
                         {"WATCHDOG_USEC", "200000"},
                         {"JOURNAL_STREAM", journalStreamOf("out")}},
                        {"--config", temp.file("studio1.toml")});
    ASSERT_EQ(manager.next(), "READY=1");
    {
        // Ready means the port listens.
        Client client(port);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.send("66 0\n"));
        EXPECT_EQ(client.readLine(), "ERROR\n");
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
    EXPECT_EQ(texts, "6 INFO Kavelin 4.0 initializing...\n"
                     "6 INFO Server initializing...\n"
                     "6 INFO Ready.\n"
                     "6 INFO Connection established to 127.0.0.1\n"
                     "3 ERROR ERROR : Missing arguments for command 66.\n"
                     "6 INFO - Disconnected!!!\n"
                     "6 INFO Server shutting down...\n");
}

// A typical session, then clients that stall (a line never ended, nothing sent), then SIGTERM.
TEST_F(HeadlessProgramTest, TypicalSessionStalledClientsThenShutdownBySignal) {
    // It inherits a JOURNAL_STREAM that is not its output: its lines stay plain.
    auto server = start("out", {{"JOURNAL_STREAM", journalStreamOf("elsewhere")}},
                        {"--line-timeout", "0.3", "--idle-timeout", "2"});
    ASSERT_TRUE(becameReady(temp.file("out")));
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

// --clients and --metrics: two controllers at once, what a scraper reads meanwhile, and a second
// program that cannot have the metrics port.
TEST_F(HeadlessProgramTest, TwoControllersAScraperMeanwhileAndATakenMetricsPort) {
    const uint16_t metricsPort = freePort();
    const auto scrape = [&] {
        const HttpReply reply = httpGet(metricsPort, "/metrics");
        EXPECT_EQ(reply.status, 200);
        Exposition e = parsePrometheus(reply.body);
        EXPECT_EQ(e.error, "");
        return e;
    };
    const auto value = [&](const std::string& name) { return scrape().value(name).value_or(-1); };
    auto server = start("out", {}, {"--clients", "2", "--metrics", std::to_string(metricsPort)});
    ASSERT_TRUE(becameReady(temp.file("out"))) << out("out");
    EXPECT_NE(out("out").find("Metrics on http://127.0.0.1:" + std::to_string(metricsPort) +
                              "/metrics, health on /health\n"),
              std::string::npos);
    const double frames = value("kavelin_frames_total");
    EXPECT_TRUE(waitUntil([&] { return value("kavelin_frames_total") > frames; }));

    // Both controllers are served at once, and their commands counted.
    Client a(port), b(port);
    for (auto [client, line, reply] :
         {std::tuple(&a, "116\n", "OK 0\n"), std::tuple(&b, "1003 1 2\n", "ERROR\n"),
          std::tuple(&a, "117 0\n", "OK\n")}) {
        ASSERT_TRUE(client->send(line));
        EXPECT_EQ(client->readLine(), reply) << line;
    }
    const Exposition e = scrape();
    EXPECT_EQ(e.value("kavelin_commands_total"), 3);
    EXPECT_EQ(e.value("kavelin_clients_connected"), 2);
    Client c(port); // no room: waits, and is counted as waiting
    EXPECT_TRUE(waitUntil([&] { return value("kavelin_clients_waiting") == 1; }));

    // A second program cannot have the metrics port: its start-up ends, with a log line and
    // exit code 2, and the first one goes on.
    auto second = startHeadless(freePort(), {"--metrics", std::to_string(metricsPort)},
                                temp.file("second"), temp.file("second.err"));
    EXPECT_EQ(second->wait(10000), 2);
    const std::string log = out("second");
    EXPECT_NE(
        log.find("Unable to initialize metrics on 127.0.0.1:" + std::to_string(metricsPort) + ": "),
        std::string::npos)
        << log;
    EXPECT_EQ(out("second.err"), "kavelin: cannot serve metrics on 127.0.0.1 port " +
                                     std::to_string(metricsPort) + " (see the log above)\n");

    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(10000), 0);
}
