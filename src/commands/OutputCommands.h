#pragma once

#include "base/Result.h"

#include <cstdint>
#include <string>

namespace kavelin {

class LogSink;

// Commands numbered 1000 and above: they belong to the outputs. Each operation logs what it
// did, or why it could not.
class OutputCommands {
public:
    virtual ~OutputCommands() = default;
    // 1000: starts an output named as on the command line; its number.
    virtual Result<int32_t> addOutput(const std::string& output) = 0;
    // 1001: stops an output and removes it; a file is complete when this returns.
    virtual Status removeOutput(int32_t number) = 0;
    // 1002: a log line per output; their count.
    virtual Result<int32_t> listOutputs() = 0;
    // Every other number of 1000 and above.
    virtual void refuse(int32_t number) = 0;
};

// Where outputs are neither started nor stopped (offline rendering, tests): every output
// command is refused in the name of `owner`.
class NoOutputCommands : public OutputCommands {
public:
    NoOutputCommands(LogSink& log, std::string owner) : log_(log), owner_(std::move(owner)) {}
    Result<int32_t> addOutput(const std::string& output) override;
    Status removeOutput(int32_t number) override;
    Result<int32_t> listOutputs() override;
    void refuse(int32_t number) override;

private:
    LogSink& log_;
    const std::string owner_;
};

} // namespace kavelin
