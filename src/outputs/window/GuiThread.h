#pragma once

#include <functional>

namespace kavelin {

// Runs `work` on the GUI thread and returns when it has run: directly when called there,
// otherwise through a blocking queued call, which the GUI thread must be serving (its event
// loop runs for the whole life of the system, shutdown included). False when there is no
// application object, or the call could not be delivered.
bool runOnGuiThread(const std::function<void()>& work);

} // namespace kavelin
