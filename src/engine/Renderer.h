#pragma once

#include "engine/CommandHandlers.h"

namespace kavelin {

class Command;
class LogSink;

// Owns everything that makes up the picture and executes the commands that change it.
class Renderer : public CommandHandlers {
public:
    explicit Renderer(LogSink& log);

    bool dispatch(Command& command);

protected:
    bool notAvailable(const char* operation) override;

private:
    LogSink& log_;
};

} // namespace kavelin
