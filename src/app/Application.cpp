#include "app/Application.h"

#include "app/CommandLine.h"
#include "app/MetricsService.h"
#include "app/OutputControl.h"
#include "commands/CommandExecutor.h"
#include "engine/Engine.h"
#include "engine/LogSink.h"
#include "engine/SteadyFrameClock.h"
#include "net/CommandServer.h"
#include "outputs/window/WindowControl.h"

#include <algorithm>

namespace kavelin {

Application::Settings settingsOf(const CommandLine& commandLine) {
    Application::Settings settings;
    settings.port = commandLine.port;
    settings.listenAddress = commandLine.listenAddress;
    settings.lineTimeout = commandLine.lineTimeout;
    settings.idleTimeout = commandLine.idleTimeout;
    settings.clients = commandLine.clients;
    settings.metrics = commandLine.metricsPort != 0;
    settings.metricsAddress = commandLine.metricsAddress;
    settings.metricsPort = commandLine.metricsPort;
    settings.format = commandLine.format;
    settings.key = commandLine.key;
    settings.threads = commandLine.threads;
    settings.outputs = commandLine.outputs;
    settings.media = commandLine.media;
    return settings;
}

Application::Application(Settings settings, LogSink& log, OutputFactory makeOutput)
    : settings_(std::move(settings)), log_(log), makeOutput_(std::move(makeOutput)) {}

Application::~Application() {
    stop();
    wait();
    shutDown();
}

bool Application::start() {
    if (worker_.joinable())
        return false;
    worker_ = std::thread([this] {
        run();
        ended_ = true;
    });
    return true;
}

void Application::stop() {
    {
        std::lock_guard lock(stopMutex_);
        stopRequested_ = true;
    }
    stopped_.notify_all();
}

void Application::wait() {
    if (worker_.joinable())
        worker_.join();
}

void Application::run() {
    log_.log("Kavelin 4.0 initializing...");
    if (!startUp()) {
        log_.log("Error occured.\n");
        shutDown(); // what did start (the window, outputs, the engine) goes at once
        return;
    }
    log_.log("Ready.");
    std::unique_lock lock(stopMutex_);
    stopped_.wait(lock, [this] { return stopRequested_; });
    lock.unlock();
    shutDown();
}

bool Application::toggleOutput() {
    WindowControl* window = window_.load();
    if (window == nullptr)
        return true;
    if (window->isRunning())
        window->closeWindow();
    else
        window->openWindow(); // a failed re-opening is not reported
    return true;
}

void Application::setScale(bool scale) {
    if (WindowControl* window = window_.load())
        window->setScale(scale);
}

std::vector<OutputStatus> Application::outputs() const {
    std::lock_guard lock(engineMutex_);
    return engine_ ? engine_->outputs() : std::vector<OutputStatus>{};
}

std::optional<EngineStats> Application::frameStats() const {
    std::lock_guard lock(engineMutex_);
    return engine_ ? std::optional<EngineStats>(engine_->stats()) : std::nullopt;
}

void Application::releaseEngine() {
    std::unique_ptr<Engine> engine;
    {
        std::lock_guard lock(engineMutex_);
        engine.swap(engine_);
    }
    engine.reset(); // the outputs, then the scene; the dialog does not wait for it
}

bool Application::startUp() {
    {
        std::lock_guard lock(engineMutex_);
        engine_ = Engine::create(settings_.format, settings_.background,
                                 {composingThreads(settings_.threads)});
    }
    if (engine_) {
        engine_->setKey(settings_.key);
        engine_->setFrameListener(settings_.frameHandedOut);
        const bool windowed = std::find(settings_.outputs.begin(), settings_.outputs.end(),
                                        "window") != settings_.outputs.end();
        outputControl_ = std::make_unique<OutputControl>(
            *engine_, log_, makeOutput_, windowed ? "KvWindowOutput" : "HeadlessOutput");
        const int32_t started = outputControl_->startAll(settings_.outputs);
        if (started == 0 && !settings_.outputs.empty()) {
            outputControl_.reset();
            releaseEngine();
        } else {
            window_ = outputControl_->window();
        }
    }
    if (!engine_) {
        failure_ = Failure::Output;
        log_.log("Unable to initialize output!");
        return false;
    }
    server_ = std::make_unique<CommandServer>(
        log_, static_cast<uint16_t>(settings_.port), settings_.listenAddress,
        ClientTimeouts{settings_.lineTimeout, settings_.idleTimeout}, settings_.clients);
    if (!server_->start()) {
        failure_ = Failure::CommandSource;
        log_.log("Unable to initialize command source!");
        return false;
    }
    port_ = server_->port();
    if (settings_.metrics) {
        metrics_ = std::make_unique<MetricsService>(
            MetricsService::Sources{*engine_, commandStats_, *server_});
        const Status listening =
            metrics_->start(settings_.metricsAddress, static_cast<uint16_t>(settings_.metricsPort));
        if (!listening) {
            failure_ = Failure::Metrics;
            log_.log("Unable to initialize metrics on %s:%d: %s", settings_.metricsAddress.c_str(),
                     settings_.metricsPort, listening.reason().c_str());
            return false;
        }
        metricsPort_ = metrics_->port();
        log_.log("Metrics on http://%s:%d/metrics, health on /health",
                 settings_.metricsAddress.c_str(), metricsPort_.load());
    }
    Result<std::unique_ptr<CommandExecutor>> executor =
        CommandExecutor::create(engine_->scene(), log_, *outputControl_, settings_.media);
    if (!executor) {
        failure_ = Failure::Processor;
        log_.log("Kavelin initialization failed.");
        return false;
    }
    executor_ = std::move(*executor);
    server_->setExecutor(
        [executor = executor_.get(), stats = &commandStats_](const char* line, size_t length) {
            const SteadyClock::time_point began = SteadyClock::now();
            std::string reply = executor->execute(line, length);
            stats->record(SteadyClock::now() - began, reply.starts_with("ERROR"));
            return reply;
        });
    if (!engine_->start(std::make_unique<SteadyFrameClock>())) {
        failure_ = Failure::Processor;
        log_.log("Kavelin initialization failed.");
        return false;
    }
    return true;
}

void Application::shutDown() {
    metrics_.reset(); // it reads the server and the engine
    server_.reset();  // sockets closed, its thread ended: no more commands
    window_ = nullptr;
    if (engine_)
        engine_->stop(); // no more frames
    executor_.reset();
    outputControl_.reset();
    releaseEngine();
}

} // namespace kavelin
