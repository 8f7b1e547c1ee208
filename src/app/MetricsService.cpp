#include "app/MetricsService.h"

#include "base/MemoryBudget.h"
#include "commands/CommandStats.h"
#include "engine/Engine.h"
#include "net/PrometheusText.h"
#include "net/TcpServer.h"

namespace kavelin {

MetricsService::MetricsService(Sources sources)
    : sources_(sources), http_([this](std::string_view path) { return respond(path); }) {}

Status MetricsService::start(const std::string& address, uint16_t port) {
    return http_.start(address, port);
}

HttpServer::Response MetricsService::respond(std::string_view path) const {
    if (path == "/metrics")
        return {200, PrometheusText::kContentType, metricsText()};
    if (path == "/health") {
        const std::string why = sources_.engine.health();
        if (why.empty())
            return {200, "text/plain; charset=utf-8", "ok\n"};
        return {503, "text/plain; charset=utf-8", why + "\n"};
    }
    return {404, "text/plain; charset=utf-8", "not found: /metrics and /health are served\n"};
}

std::string MetricsService::metricsText() const {
    const EngineStats frames = sources_.engine.stats();
    const CommandStats::Snapshot commands = sources_.commands.snapshot();
    const auto number = [](auto n) { return static_cast<double>(n); };

    PrometheusText text;
    text.counter("kavelin_frames_total", "Frames composed and handed to the outputs.",
                 number(frames.frames));
    text.counter("kavelin_frames_late_total",
                 "Frames handed to the outputs more than a quarter of a period after their "
                 "deadline.",
                 number(frames.late));
    text.counter("kavelin_frames_skipped_total",
                 "Deadlines that passed while an earlier frame was being made, and frames not "
                 "made for want of memory.",
                 number(frames.skipped));

    text.family("kavelin_output_frames_dropped_total", "counter",
                "Frames an output lost: to a full queue, or refused (no reader, no receiver).");
    for (const OutputStatus& output : sources_.engine.outputs()) {
        const std::string outputNumber = std::to_string(output.number);
        text.sample("kavelin_output_frames_dropped_total",
                    {{"output", output.name}, {"number", outputNumber}}, number(output.dropped));
    }

    text.counter("kavelin_commands_total", "Command lines executed.", number(commands.count()));
    text.counter("kavelin_command_errors_total", "Command lines answered ERROR.",
                 number(commands.errors));
    text.histogram("kavelin_command_duration_seconds",
                   "Time each command line took to execute, up to its reply.",
                   CommandStats::kBounds, commands.buckets, commands.seconds);

    const MemoryBudget& budget = MemoryBudget::process();
    text.gauge("kavelin_image_bytes",
               "Bytes that pictures (stills, sequences, text, frames), layers and fonts take, as "
               "counted against the memory budget.",
               number(budget.used()));
    text.gauge("kavelin_memory_limit_bytes", "The memory budget (--memory-limit).",
               number(budget.limit()));

    text.gauge("kavelin_clients_connected", "Controllers connected to the command port.",
               number(sources_.server.clientsConnected()));
    text.family("kavelin_clients_waiting", "gauge",
                "Connections the kernel has accepted on the command port that wait to be served "
                "(its listen backlog).");
    if (const int waiting = sources_.server.clientsWaiting(); waiting >= 0)
        text.sample("kavelin_clients_waiting", {}, number(waiting));
    return text.text();
}

} // namespace kavelin
