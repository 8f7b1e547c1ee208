#pragma once

#include "base/Result.h"
#include "engine/LogSink.h"

namespace kavelin {

// The line a command that loads files writes before its own error line when the failure has a
// reason, which names the file: "ERROR : <path>: <reason>.".
void logLoadFailure(LogSink& log, const Error& error);

} // namespace kavelin
