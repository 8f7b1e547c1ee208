// The real program with --clients and --metrics: two controllers at once, and what a scraper
// reads meanwhile.
#include "support/HeadlessServer.h"
#include "support/HttpGet.h"
#include "support/PrometheusParser.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kavelin::test;

namespace {

class MetricsE2eTest : public ::testing::Test {
protected:
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& options) {
        return startHeadless(port, options, temp.file("out.txt"), temp.file("err.txt"));
    }
    std::string out() const { return readFile(temp.file("out.txt")); }
    Exposition scrape() const {
        const HttpReply reply = httpGet(metricsPort, "/metrics");
        EXPECT_EQ(reply.status, 200);
        Exposition e = parsePrometheus(reply.body);
        EXPECT_EQ(e.error, "");
        return e;
    }
    double value(const std::string& name, const std::map<std::string, std::string>& labels = {}) {
        return scrape().value(name, labels).value_or(-1);
    }

    TempDir temp{"kavelin-metrics"};
    uint16_t port = freePort();
    uint16_t metricsPort = freePort();
};

} // namespace

TEST_F(MetricsE2eTest, TwoControllersAndAScraperMeanwhile) {
    auto server = start({"--clients", "2", "--metrics", std::to_string(metricsPort)});
    ASSERT_TRUE(becameReady(temp.file("out.txt"))) << out();
    EXPECT_NE(out().find("Metrics on http://127.0.0.1:" + std::to_string(metricsPort) +
                         "/metrics, health on /health\n"),
              std::string::npos);
    const double frames = value("kavelin_frames_total");
    EXPECT_TRUE(waitUntil([&] { return value("kavelin_frames_total") > frames; }));

    Client a(port), b(port);
    const std::string output = "raw:" + temp.file("a \"b\" \\c.raw");
    struct Line {
        Client* client;
        std::string line, reply;
    } const lines[] = {{&a, "116", "OK 0"},
                       {&b, "121 0", "OK 0"},
                       {&a, "1003 1 2", "ERROR"},
                       {&b, "1000 " + output, "OK 1"},
                       {&a, "117 0", "OK"}};
    for (const Line& l : lines) {
        ASSERT_TRUE(l.client->send(l.line + "\n"));
        EXPECT_EQ(l.client->readLine(), l.reply + "\n") << l.line;
    }

    const Exposition e = scrape();
    EXPECT_EQ(e.value("kavelin_commands_total"), 5);
    EXPECT_EQ(e.value("kavelin_command_errors_total"), 1);
    EXPECT_EQ(e.value("kavelin_command_duration_seconds_count"), 5);
    EXPECT_GT(*e.value("kavelin_command_duration_seconds_sum"), 0);
    EXPECT_GE(
        *e.value("kavelin_output_frames_dropped_total", {{"output", output}, {"number", "1"}}), 0);
    EXPECT_EQ(e.value("kavelin_clients_connected"), 2);
    Client c(port); // no room: waits, and is counted as waiting
    EXPECT_TRUE(waitUntil([&] { return value("kavelin_clients_waiting") == 1; }));

    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(10000), 0);
}

// A metrics port that cannot be had ends the start-up: a log line, and exit code 2.
TEST_F(MetricsE2eTest, ATakenMetricsPortEndsTheStartUp) {
    auto holder = start({"--metrics", std::to_string(metricsPort)});
    ASSERT_TRUE(becameReady(temp.file("out.txt")));
    const uint16_t taken = metricsPort;
    port = freePort();
    TempDir other{"kavelin-metrics"};
    auto second = startHeadless(port, {"--metrics", std::to_string(taken)}, other.file("out.txt"),
                                other.file("err.txt"));
    EXPECT_EQ(second->wait(10000), 2);
    const std::string log = readFile(other.file("out.txt"));
    EXPECT_NE(log.find("Unable to initialize metrics on 127.0.0.1:" + std::to_string(taken) + ": "),
              std::string::npos)
        << log;
    EXPECT_EQ(readFile(other.file("err.txt")), "kavelin: cannot serve metrics on 127.0.0.1 port " +
                                                   std::to_string(taken) +
                                                   " (see the log above)\n");
    EXPECT_EQ(httpGet(taken, "/health").status != 0, true); // the first one still answers
}
