#pragma once

namespace kavelin {

class CommandSink;

// Where commands come from (the command server). Lines received before `setProcessor`
// are not executed.
class CommandSource {
public:
    virtual ~CommandSource() = default;
    virtual bool start() = 0;
    virtual void setProcessor(CommandSink* processor) = 0;
};

} // namespace kavelin
