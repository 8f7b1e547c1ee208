// The metrics port's pieces: the Prometheus text and the HTTP server.
#include "net/HttpServer.h"
#include "net/PrometheusText.h"

#include "support/HttpGet.h"

#include <gtest/gtest.h>

using kavelin::HttpServer;
using kavelin::PrometheusText;
using kavelin::test::httpGet;
using kavelin::test::httpRequest;

// The exact lines, escapes included.
TEST(PrometheusTextTest, FamiliesSamplesAndEscapes) {
    PrometheusText text;
    text.counter("k_frames_total", "Frames.\nAll of them, C:\\", 1234567);
    text.gauge("k_bytes", "Bytes.", 0.25);
    text.family("k_dropped_total", "counter", "Dropped.");
    const std::string name = "raw:/tmp/a \"b\"\\c\nd";
    text.sample("k_dropped_total", {{"output", name}, {"number", "3"}}, 7);
    const double bounds[] = {0.0001, 2.5};
    const uint64_t cumulative[] = {1, 3, 4};
    text.histogram("k_seconds", "Durations.", bounds, cumulative, 7.0035);
    EXPECT_EQ(text.text(),
              "# HELP k_frames_total Frames.\\nAll of them, C:\\\\\n"
              "# TYPE k_frames_total counter\n"
              "k_frames_total 1234567\n"
              "# HELP k_bytes Bytes.\n"
              "# TYPE k_bytes gauge\n"
              "k_bytes 0.25\n"
              "# HELP k_dropped_total Dropped.\n"
              "# TYPE k_dropped_total counter\n"
              "k_dropped_total{output=\"raw:/tmp/a \\\"b\\\"\\\\c\\nd\",number=\"3\"} 7\n"
              "# HELP k_seconds Durations.\n"
              "# TYPE k_seconds histogram\n"
              "k_seconds_bucket{le=\"0.0001\"} 1\n"
              "k_seconds_bucket{le=\"2.5\"} 3\n"
              "k_seconds_bucket{le=\"+Inf\"} 4\n"
              "k_seconds_sum 7.0035\n"
              "k_seconds_count 4\n");
}

// GET and HEAD get the handler's answer, other methods 405; a taken port or a bad address is
// a start-up failure with its reason, and the server that holds the port goes on.
TEST(HttpServerTest, AnswersGetAndHeadRefusesTheRestAndSaysWhyItCannotListen) {
    HttpServer server([](std::string_view path) -> HttpServer::Response {
        if (path == "/x")
            return {200, "text/plain; charset=utf-8", "x body\n"};
        return {404, "text/plain; charset=utf-8", "none\n"};
    });
    ASSERT_TRUE(server.start("127.0.0.1", 0));
    ASSERT_NE(server.port(), 0);

    struct Case {
        std::string method, path;
        int status;
        std::string body;
    };
    const Case cases[] = {{"GET", "/x", 200, "x body\n"},
                          {"GET", "/x?probe=1", 200, "x body\n"},
                          {"HEAD", "/x", 200, ""},
                          {"GET", "/y", 404, "none\n"},
                          {"POST", "/x", 405, "only GET and HEAD are answered\n"}};
    for (const Case& c : cases) {
        const kavelin::test::HttpReply reply = httpRequest(server.port(), c.method, c.path);
        EXPECT_EQ(reply.status, c.status) << c.method << " " << c.path;
        EXPECT_EQ(reply.body, c.body) << c.method << " " << c.path;
    }

    HttpServer second([](std::string_view) { return HttpServer::Response{}; });
    const kavelin::Status taken = second.start("127.0.0.1", server.port());
    ASSERT_FALSE(taken);
    EXPECT_NE(taken.reason().find("in use"), std::string::npos) << taken.reason();
    HttpServer third([](std::string_view) { return HttpServer::Response{}; });
    const kavelin::Status malformed = third.start("localhost", 0);
    ASSERT_FALSE(malformed);
    EXPECT_EQ(malformed.reason(), "'localhost' is not an IPv4 address");
    EXPECT_EQ(httpGet(server.port(), "/x").body, "x body\n");
}
