#pragma once

namespace kavelin {

// Work that may take a while (commands, the log) runs at a lower priority than the frame path,
// so that on a busy machine the frames come first. No privilege is needed to lower one's own
// priority; where it cannot be done, nothing changes.
void yieldToFramePath();
// The frame path (the clock's thread, the outputs' threads) asks for a higher priority than
// normal; without the privilege for it (CAP_SYS_NICE, or a service's Nice= setting), it keeps
// the normal one and the others still yield to it.
void raiseForFramePath();

} // namespace kavelin
