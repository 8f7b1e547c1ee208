#include "engine/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace kavelin {

namespace {

// A nice value of 10 weighs about a tenth of the frame path's under the kernel's scheduler.
constexpr int kBelowFramePath = 10;
constexpr int kFramePath = -10;

} // namespace

void yieldToFramePath() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kBelowFramePath);
}

void raiseForFramePath() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kFramePath);
}

} // namespace kavelin
