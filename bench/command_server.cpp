// Pipelined command lines through the command server, beside a plain loopback echo of the
// same bytes as the reference.
#include "engine/CommandSink.h"
#include "net/Command.h"
#include "net/CommandServer.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kLines = 10000;

class AcceptAll : public kavelin::CommandSink {
public:
    bool execute(kavelin::Command&) override { return true; }
};

int connectTo(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

std::string burst() {
    std::string lines;
    for (int i = 0; i < kLines; ++i)
        lines += "75 0\n";
    return lines;
}

// Sends the burst and reads back `replyBytes`; false when the connection failed.
bool roundTrip(int fd, const std::string& lines, size_t replyBytes) {
    size_t sent = 0;
    while (sent < lines.size()) {
        const ssize_t n = ::send(fd, lines.data() + sent, lines.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    char chunk[65536];
    size_t received = 0;
    while (received < replyBytes) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        received += static_cast<size_t>(n);
    }
    return true;
}

void BM_CommandServerPipelined(benchmark::State& state) {
    std::FILE* devnull = std::fopen("/dev/null", "w");
    AcceptAll sink;
    kavelin::CommandServer server(0, "127.0.0.1");
    server.setDiagnostics(devnull);
    if (!server.start()) {
        state.SkipWithError("server did not start");
        return;
    }
    server.setProcessor(&sink);
    const int fd = connectTo(server.port());
    const std::string lines = burst();
    for (auto _ : state) {
        if (!roundTrip(fd, lines, 3 * kLines)) {
            state.SkipWithError("connection failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    ::close(fd);
    server.stop();
    std::fclose(devnull);
}
BENCHMARK(BM_CommandServerPipelined)->UseRealTime();

// The reference: a thread that echoes every byte back, in chunks as they come.
void BM_LoopbackEcho(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::thread echo([listener] {
        const int client = ::accept(listener, nullptr, nullptr);
        char chunk[65536];
        ssize_t n;
        while ((n = ::recv(client, chunk, sizeof chunk, 0)) > 0)
            ::send(client, chunk, static_cast<size_t>(n), MSG_NOSIGNAL);
        ::close(client);
    });
    const int fd = connectTo(ntohs(address.sin_port));
    const std::string lines = burst();
    for (auto _ : state) {
        if (!roundTrip(fd, lines, lines.size())) {
            state.SkipWithError("connection failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    ::close(fd);
    echo.join();
    ::close(listener);
}
BENCHMARK(BM_LoopbackEcho)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
