#include "app/Application.h"

#include "commands/CommandExecutor.h"
#include "engine/Engine.h"
#include "engine/LogSink.h"
#include "engine/SteadyFrameClock.h"
#include "net/CommandServer.h"
#include "outputs/window/WindowControl.h"

namespace kavelin {

namespace {

// Output commands (1000 and above) are refused, in the name of the output that has none.
class RefusedOutputCommands : public OutputCommands {
public:
    RefusedOutputCommands(LogSink& log, std::string name) : log_(log), name_(std::move(name)) {}
    CommandResult execute(const Command& command) override {
        log_.diagnostic("(%s) Unsupported command (%d)\n", name_.c_str(), command.number());
        return CommandResult::error();
    }

private:
    LogSink& log_;
    std::string name_;
};

} // namespace

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

bool Application::startUp() {
    bool hasWindow = false;
    engine_ = Engine::create(settings_.format, settings_.background);
    if (engine_) {
        for (const std::string& output : settings_.outputs) {
            Result<std::unique_ptr<FrameConsumer>> consumer = makeOutput_(output);
            if (!consumer) {
                log_.log("ERROR (%s) : %s", output.c_str(), consumer.reason().c_str());
                window_ = nullptr;
                engine_.reset();
                break;
            }
            FrameConsumer* made = consumer->get();
            Result<int32_t> added =
                engine_->addOutput(std::make_unique<OutputSink>(output, std::move(*consumer)));
            if (!added) {
                log_.log("ERROR (%s) : %s", output.c_str(), added.reason().c_str());
                window_ = nullptr;
                engine_.reset();
                break;
            }
            if (auto* window = dynamic_cast<WindowControl*>(made)) {
                window_ = window;
                hasWindow = true;
            }
        }
    }
    if (!engine_) {
        failure_ = Failure::Output;
        log_.log("Unable to initialize output!");
        return false;
    }
    outputCommands_ = std::make_unique<RefusedOutputCommands>(log_, hasWindow ? "KvWindowOutput"
                                                                              : "HeadlessOutput");
    server_ = std::make_unique<CommandServer>(
        log_, static_cast<uint16_t>(settings_.port), settings_.listenAddress,
        ClientTimeouts{settings_.lineTimeout, settings_.idleTimeout});
    if (!server_->start()) {
        failure_ = Failure::CommandSource;
        log_.log("Unable to initialize command source!");
        return false;
    }
    port_ = server_->port();
    Result<std::unique_ptr<CommandExecutor>> executor =
        CommandExecutor::create(engine_->scene(), log_, *outputCommands_, settings_.media);
    if (!executor) {
        failure_ = Failure::Processor;
        log_.log("Kavelin initialization failed.");
        return false;
    }
    executor_ = std::move(*executor);
    server_->setExecutor([executor = executor_.get()](const char* line, size_t length) {
        return executor->execute(line, length);
    });
    if (!engine_->start(std::make_unique<SteadyFrameClock>())) {
        failure_ = Failure::Processor;
        log_.log("Kavelin initialization failed.");
        return false;
    }
    return true;
}

void Application::shutDown() {
    server_.reset(); // sockets closed, its thread ended: no more commands
    window_ = nullptr;
    if (engine_)
        engine_->stop(); // no more frames
    executor_.reset();
    engine_.reset(); // the outputs, then the scene
    outputCommands_.reset();
}

} // namespace kavelin
