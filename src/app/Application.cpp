#include "app/Application.h"

#include "engine/CommandProcessor.h"
#include "engine/Event.h"
#include "engine/Output.h"
#include "engine/Thread.h"
#include "net/CommandServer.h"
#include "output/WindowControl.h"

namespace kavelin {

Application::Application(Settings settings, OutputFactory makeOutput)
    : settings_(std::move(settings)), makeOutput_(std::move(makeOutput)) {}

Application::~Application() {
    wait();
    shutDown(); // releases what a failed start-up left, in the same order
}

void Application::setLogView(LogView view) {
    std::lock_guard<std::mutex> lock(logMutex_);
    logView_ = std::move(view);
}

void Application::writeLine(std::string_view line) {
    std::lock_guard<std::mutex> lock(logMutex_);
    if (logView_)
        logView_(line);
}

bool Application::start() {
    stopEvent_ = std::make_unique<Event>(false);
    worker_ = std::make_unique<Thread>(*this);
    return worker_->start();
}

bool Application::stop() {
    if (stopEvent_)
        stopEvent_->set();
    return true;
}

void Application::wait() {
    if (worker_)
        worker_->wait();
}

bool Application::workerEnded() const {
    return worker_ && !worker_->running();
}

void Application::run() {
    log("Kavelin 4.0 initializing...");
    if (!startUp()) {
        log("Error occured.\n");
        return;
    }
    log("Ready.");
    stopEvent_->wait();
    shutDown();
}

bool Application::toggleOutput() {
    WindowControl* window = window_.load();
    if (window == nullptr)
        return true;
    if (window->isRunning())
        window->close();
    else
        window->open(); // a failed re-opening is not reported
    return true;
}

void Application::setScale(bool scale) {
    if (WindowControl* window = window_.load())
        window->setScale(scale);
}

bool Application::startUp() {
    output_ = makeOutput_(settings_);
    window_ = dynamic_cast<WindowControl*>(output_.get());
    if (!output_ || !output_->open()) {
        failure_ = Failure::Output;
        log("Unable to initialize output!");
        return false;
    }
    server_ = std::make_unique<CommandServer>(static_cast<uint16_t>(settings_.port),
                                              settings_.listenAddress);
    if (!server_->start()) {
        failure_ = Failure::CommandSource;
        log("Unable to initialize command source!");
        return false;
    }
    processor_ = std::make_unique<CommandProcessor>();
    CommandProcessor::Background background;
    background.colour = settings_.background;
    if (!processor_->init(*output_, server_.get(), background, *this)) {
        failure_ = Failure::Processor;
        log("Kavelin initialization failed.");
        return false;
    }
    return true;
}

void Application::shutDown() {
    server_.reset(); // sockets closed, its thread ended: no more commands
    window_ = nullptr;
    output_.reset();    // frame clock stopped: no more ticks
    processor_.reset(); // renderer, layers, sets and fonts
}

} // namespace kavelin
