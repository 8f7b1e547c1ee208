#pragma once

#include "commands/OutputCommands.h"

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kavelin {

class Engine;
class FrameConsumer;
class LogSink;
class WindowControl;

// The outputs of a running server: those named on the command line, and those that the output
// commands start and stop while the picture stays on air.
class OutputControl : public OutputCommands {
public:
    // Makes the consumer of one output named as on the command line.
    using Factory =
        std::function<Result<std::unique_ptr<FrameConsumer>>(const std::string& output)>;

    // `owner` names the refusals of unknown output commands.
    OutputControl(Engine& engine, LogSink& log, Factory factory, std::string owner);

    // The outputs of the command line: each one that cannot start gets its log line and the
    // others start anyway. How many started.
    int32_t startAll(const std::vector<std::string>& outputs);
    // The first window output, or none.
    WindowControl* window() const { return window_; }

    Result<int32_t> addOutput(const std::string& output) override;
    Status removeOutput(int32_t number) override;
    Result<int32_t> listOutputs() override;
    void refuse(int32_t number) override;

private:
    Result<int32_t> start(const std::string& output);

    Engine& engine_;
    LogSink& log_;
    const Factory factory_;
    const std::string owner_;
    WindowControl* window_ = nullptr;
    std::set<int32_t> windows_; // shown and hidden by the dialog, never removed by a command
};

} // namespace kavelin
