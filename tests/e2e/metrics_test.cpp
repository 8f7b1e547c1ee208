// The real program with --clients and --metrics: two controllers at once, what a scraper reads
// meanwhile, and a second program that cannot have the metrics port.
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

TEST_F(MetricsE2eTest, TwoControllersAScraperMeanwhileAndATakenMetricsPort) {
    auto server = start({"--clients", "2", "--metrics", std::to_string(metricsPort)});
    ASSERT_TRUE(becameReady(temp.file("out.txt"))) << out();
    EXPECT_NE(out().find("Metrics on http://127.0.0.1:" + std::to_string(metricsPort) +
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
    EXPECT_EQ(e.value("kavelin_command_errors_total"), 1);
    EXPECT_EQ(e.value("kavelin_command_duration_seconds_count"), 3);
    EXPECT_EQ(e.value("kavelin_clients_connected"), 2);
    Client c(port); // no room: waits, and is counted as waiting
    EXPECT_TRUE(waitUntil([&] { return value("kavelin_clients_waiting") == 1; }));

    // A second program cannot have the metrics port: its start-up ends, with a log line and
    // exit code 2, and the first one goes on.
    TempDir other{"kavelin-metrics"};
    auto second = startHeadless(freePort(), {"--metrics", std::to_string(metricsPort)},
                                other.file("out.txt"), other.file("err.txt"));
    EXPECT_EQ(second->wait(10000), 2);
    const std::string log = readFile(other.file("out.txt"));
    EXPECT_NE(
        log.find("Unable to initialize metrics on 127.0.0.1:" + std::to_string(metricsPort) + ": "),
        std::string::npos)
        << log;
    EXPECT_EQ(readFile(other.file("err.txt")), "kavelin: cannot serve metrics on 127.0.0.1 port " +
                                                   std::to_string(metricsPort) +
                                                   " (see the log above)\n");
    EXPECT_EQ(httpGet(metricsPort, "/health").status != 0, true);

    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(10000), 0);
}
