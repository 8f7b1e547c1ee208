#pragma once

#include "engine/CommandSink.h"
#include "engine/CriticalSection.h"
#include "engine/FrameSource.h"
#include "engine/Renderer.h"

#include <memory>

namespace kavelin {

class CommandSource;
class LogSink;
class Output;

// Executes commands and composes frames under one lock, the render lock, so every command
// takes effect between two frames.
class CommandProcessor : public CommandSink, public FrameSource {
public:
    struct Background {
        bool fill = true;
        Renderer::Colour colour{0, 0, 0, 255};
    };

    CommandProcessor() = default;
    // The output and the command source must be gone (or detached) before this.
    ~CommandProcessor() override;
    CommandProcessor(const CommandProcessor&) = delete;
    CommandProcessor& operator=(const CommandProcessor&) = delete;

    // Builds the renderer, attaches to the command source, then starts the output's frames.
    bool init(Output& output, CommandSource* source, const Background& background, LogSink& log);

    bool execute(Command& command) override;
    void onFrame(FrameRequest& request) override;

    // Composes one frame into the request's target without the pause that follows a tick.
    void composeFrame(FrameRequest& request);

    Renderer* renderer() const { return renderer_.get(); }

private:
    Output* output_ = nullptr;
    CommandSource* source_ = nullptr;
    LogSink* log_ = nullptr;
    std::unique_ptr<Renderer> renderer_;
    std::unique_ptr<CriticalSection> renderLock_;
};

} // namespace kavelin
