#include "app/StartUpFailure.h"

namespace kavelin {

StartUpFailure describeStartUpFailure(Application::Failure failure,
                                      const Application::Settings& settings) {
    switch (failure) {
    case Application::Failure::CommandSource:
        return {"cannot listen on " + settings.listenAddress + " port " +
                    std::to_string(settings.port) + " (in use, or not an address of this machine)",
                1};
    case Application::Failure::Output:
        return {"no output could start (see the log above)", 2};
    case Application::Failure::Metrics:
        return {"cannot serve metrics on " + settings.metricsAddress + " port " +
                    std::to_string(settings.metricsPort) + " (see the log above)",
                2};
    default:
        return {"start-up failed (see the log above)", 1};
    }
}

} // namespace kavelin
