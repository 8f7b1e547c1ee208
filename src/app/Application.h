#pragma once

#include "engine/LogSink.h"
#include "engine/Renderer.h"
#include "engine/Runnable.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kavelin {

class CommandProcessor;
class CommandServer;
class Event;
class Output;
class Thread;
class WindowControl;

// Builds the system on a worker thread (output, command server, command processor), waits
// until it is told to stop, and tears it down again in an order that lets no command reach
// the renderer while its layers are deleted and no frame tick arrive after the output is gone.
class Application : public Runnable, public LogSink {
public:
    struct Settings {
        int port = 2031;
        std::string listenAddress = "0.0.0.0";
        Renderer::Colour background{0, 0, 0, 255};
        bool scale = true;
    };
    // Creates the output (720 x 576 at 25 frames per second) for the given settings.
    using OutputFactory = std::function<std::unique_ptr<Output>(const Settings&)>;
    // Receives each log line.
    using LogView = std::function<void(std::string_view)>;

    enum class Failure { None, Output, CommandSource, Processor };

    Application(Settings settings, OutputFactory makeOutput);
    // Waits for the worker thread.
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void setLogView(LogView view);
    bool start();
    bool stop();
    // Returns once the worker thread has ended (after a failed start-up, or after stop).
    void wait();
    bool workerEnded() const;
    Failure failure() const { return failure_.load(); }

    // The dialog's show/hide button and scale check box; they act on an output that shows its
    // frames in a window, and do nothing for any other output.
    bool toggleOutput();
    void setScale(bool scale);

    Output* output() const { return output_.get(); }
    const Settings& settings() const { return settings_; }

    void run() override;

protected:
    void writeLine(std::string_view line) override;

private:
    bool startUp();
    void shutDown();

    Settings settings_;
    OutputFactory makeOutput_;
    std::mutex logMutex_;
    LogView logView_;
    std::unique_ptr<Event> stopEvent_;
    std::unique_ptr<Thread> worker_;
    std::unique_ptr<Output> output_;
    std::unique_ptr<CommandServer> server_;
    std::unique_ptr<CommandProcessor> processor_;
    std::atomic<WindowControl*> window_{nullptr}; // set by the worker, used by the GUI thread
    std::atomic<Failure> failure_{Failure::None};
};

} // namespace kavelin
