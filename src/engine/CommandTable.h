#pragma once

namespace kavelin {

class Command;
class CommandHandlers;
class LogSink;

// Parses the argument text of one command by its number's format, calls the operation and
// sets the result text. Answers the operation's success.
bool dispatchCommand(CommandHandlers& handlers, LogSink& log, Command& command);

} // namespace kavelin
