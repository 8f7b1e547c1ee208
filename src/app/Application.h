#pragma once

#include "base/Result.h"
#include "commands/CommandStats.h"
#include "engine/Engine.h"
#include "engine/Format.h"
#include "engine/OutputSink.h"
#include "image/CleanKey.h"
#include "image/Image.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kavelin {

class CommandExecutor;
class CommandServer;
class FrameConsumer;
class LogSink;
class MediaFolder;
class MetricsService;
class OutputControl;
class WindowControl;
struct CommandLine;

// Builds the system on a worker thread (engine, outputs, command server, command executor),
// waits until it is told to stop, and tears it down again in an order that lets no command
// reach the scene while it is destroyed and no frame reach an output that is gone.
class Application {
public:
    struct Settings {
        int port = 2031;
        std::string listenAddress = "0.0.0.0";
        // Seconds a client may leave a line unfinished, or send nothing; 0 is never.
        double lineTimeout = 10;
        double idleTimeout = 0;
        // Controllers served at once (1 to 64); the others wait in the listen backlog.
        int clients = 1;
        // The metrics port (/metrics and /health), when `metrics`; port 0: one the system
        // chooses.
        bool metrics = false;
        std::string metricsAddress = "127.0.0.1";
        int metricsPort = 0;
        Format format;
        KeyMode key = KeyMode::Composed;
        // Threads that compose each frame; 0: one per processor.
        int threads = 0;
        PixelColour background{0, 0, 0, 255};
        bool scale = true;
        // Outputs as named on the command line: "window", "raw:PATH", ...; those that cannot
        // start are logged and the others run. None at all starting is a failed start-up.
        std::vector<std::string> outputs;
        // Where commands open the files they name; none: paths as given.
        std::shared_ptr<const MediaFolder> media;
        // Called on the frame path after each frame is handed out (see Engine); none: nothing.
        std::function<void()> frameHandedOut;
    };
    // Makes the consumer of one output named on the command line; the GUI runner makes the window.
    using OutputFactory =
        std::function<Result<std::unique_ptr<FrameConsumer>>(const std::string& output)>;

    enum class Failure { None, Output, CommandSource, Metrics, Processor };

    Application(Settings settings, LogSink& log, OutputFactory makeOutput);
    // Stops the worker thread, waits for it and releases what a failed start-up left.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    bool start();
    void stop();
    // Returns once the worker thread has ended (after a failed start-up, or after stop).
    void wait();
    bool workerEnded() const { return ended_.load(); }
    Failure failure() const { return failure_.load(); }

    // The dialog's show/hide button and scale check box; they act on the window output and
    // do nothing without one.
    bool toggleOutput();
    void setScale(bool scale);

    const Settings& settings() const { return settings_; }
    // The port the server listens on once it runs (the one chosen when 0 was asked for); 0
    // before.
    uint16_t port() const { return port_.load(); }
    // The metrics port once it listens; 0 before or without one.
    uint16_t metricsPort() const { return metricsPort_.load(); }
    // The engine while the system runs (for tests and benchmarks).
    Engine* engine() const { return engine_.get(); }
    // The outputs and how they do (for the dialog); none before the start-up or after it failed.
    std::vector<OutputStatus> outputs() const;
    // The frame path's figures (for the dialog); none before the start-up or after it failed.
    std::optional<EngineStats> frameStats() const;
    const CommandStats& commandStats() const { return commandStats_; }

private:
    void run();
    bool startUp();
    void shutDown();
    // Takes the engine away from outputs() and destroys it (outputs finish their files).
    void releaseEngine();

    Settings settings_;
    LogSink& log_;
    OutputFactory makeOutput_;

    std::mutex stopMutex_;
    std::condition_variable stopped_;
    bool stopRequested_ = false;
    std::thread worker_;
    std::atomic<bool> ended_{false};

    mutable std::mutex engineMutex_; // guards engine_ against the dialog's outputs()
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<OutputControl> outputControl_;
    std::unique_ptr<CommandExecutor> executor_;
    std::unique_ptr<CommandServer> server_;
    CommandStats commandStats_;
    std::unique_ptr<MetricsService> metrics_;
    std::atomic<WindowControl*> window_{nullptr}; // set by the worker, used by the GUI thread
    std::atomic<Failure> failure_{Failure::None};
    std::atomic<uint16_t> port_{0};
    std::atomic<uint16_t> metricsPort_{0};
};

// The server's settings from its command line (the GUI adds its default window output).
Application::Settings settingsOf(const CommandLine& commandLine);

} // namespace kavelin
