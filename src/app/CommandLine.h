#pragma once

#include "engine/Format.h"
#include "image/CleanKey.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kavelin {

class MediaFolder;

// What the program was asked to do, read from its arguments.
struct CommandLine {
    enum class Mode { Run, Render, MakeFont, Send, Commands, Help, Version, Invalid };

    Mode mode = Mode::Run;
    bool headless = false;
    int port = 2031;
    std::string listenAddress = "0.0.0.0";
    // Seconds a client may leave a line unfinished, or send nothing; 0 is never.
    double lineTimeout = 10;
    double idleTimeout = 0;
    // --clients N: controllers served at once
    int clients = 1;
    // --threads N: threads that compose a frame; 0 for one per processor
    static constexpr int kMaxThreads = 64;
    int threads = 0;
    // --metrics [ADDRESS:]PORT: where /metrics and /health are served; port 0: not at all
    std::string metricsAddress = "127.0.0.1";
    int metricsPort = 0;
    Format format;
    // --key composed|clean: what the alpha of the frames says to a keyer
    KeyMode key = KeyMode::Composed;
    // --memory-limit SIZE: the memory budget in bytes; 0 for the default (half the machine's
    // physical memory).
    uint64_t memoryLimit = 0;
    // --log-format timestamped: log lines on standard output behind their time and level
    bool timestampedLog = false;
    // --output TARGET, in the order given: "window" or "raw:PATH"
    std::vector<std::string> outputs;
    // --media DIR, opened while the arguments are read (none: paths as given)
    std::shared_ptr<const MediaFolder> media;
    // render mode
    std::string pngDir;
    std::string rawFile;
    std::string script;
    // mkfont mode: its arguments, read by the sprite-font maker
    std::vector<std::string> makeFontArgs;
    // send mode: its arguments, read by the client
    std::vector<std::string> sendArgs;
    // Invalid: what was wrong, one line, and whether --help would help (not for a mistake in
    // a settings file, which the line names).
    std::string error;
    bool pointToUsage = true;

    static CommandLine parse(const std::vector<std::string>& args);
};

// The --help text.
const char* usageText();

// A TCP port, 1 to 65535; false for anything else.
bool parsePort(const std::string& text, int& port);
// Seconds above 0, as digits with at most one decimal point (10, 0.5, .25); false otherwise.
bool parseSeconds(const std::string& text, double& seconds);

} // namespace kavelin
