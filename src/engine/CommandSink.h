#pragma once

namespace kavelin {

class Command;

// Executes received commands; its answer becomes "OK" or "ERROR".
class CommandSink {
public:
    virtual ~CommandSink() = default;
    virtual bool execute(Command& command) = 0;
};

} // namespace kavelin
