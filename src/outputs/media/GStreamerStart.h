#pragma once

#include "base/Result.h"

namespace kavelin {

// Initialises GStreamer once for the process, from whichever thread comes first; every later
// call gets the same answer.
Status startGStreamer();

} // namespace kavelin
