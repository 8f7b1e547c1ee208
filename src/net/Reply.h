#pragma once

#include <cstddef>

namespace kavelin {

class CommandSink;
class TextString;

// Executes one received line and builds its reply without the line feed: "OK" or "ERROR", then
// a space and the result text when the command set one. `line` must hold a NUL at line[length].
// With no sink attached the line is not executed and the reply is "ERROR".
void buildReply(CommandSink* sink, const char* line, size_t length, TextString& reply);

} // namespace kavelin
