#include "commands/LoadFailure.h"

namespace kavelin {

void logLoadFailure(LogSink& log, const Error& error) {
    if (!error.reason.empty())
        log.log("ERROR : %s.", error.reason.c_str());
}

} // namespace kavelin
