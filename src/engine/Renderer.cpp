#include "engine/Renderer.h"

#include "engine/CommandTable.h"
#include "engine/LogSink.h"

namespace kavelin {

Renderer::Renderer(LogSink& log) : log_(log) {}

bool Renderer::dispatch(Command& command) {
    return dispatchCommand(*this, log_, command);
}

bool Renderer::notAvailable(const char* operation) {
    log_.log("ERROR (%s) : Not available in this build.", operation);
    return false;
}

} // namespace kavelin
