#include "outputs/media/GStreamerStart.h"

#include <gst/gst.h>

#include <mutex>
#include <string>

namespace kavelin {

Status startGStreamer() {
    static std::once_flag once;
    static std::string problem;
    std::call_once(once, [] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error))
            problem = std::string("GStreamer cannot start: ") +
                      (error != nullptr ? error->message : "no reason given");
        g_clear_error(&error);
    });
    if (!problem.empty())
        return failure(problem);
    return done();
}

} // namespace kavelin
