#include "net/Reply.h"

#include "engine/CommandSink.h"
#include "net/Command.h"
#include "net/TextString.h"

namespace kavelin {

void buildReply(CommandSink* sink, const char* line, size_t length, TextString& reply) {
    if (sink == nullptr) {
        reply.assign("ERROR");
        return;
    }
    Command command(line, length);
    reply.assign(sink->execute(command) ? "OK" : "ERROR");
    if (command.result() != nullptr) {
        reply.append(" ");
        reply.append(command.result());
    }
}

} // namespace kavelin
