#pragma once

#include <string>

namespace kavelin {

// Whether the window output can be used, decided before any GUI library is started (Qt's X11
// platform ends the process when it cannot open its display).
struct DisplayProbe {
    bool usable = false;
    // When not usable: why, in a few words.
    std::string reason;
};

// Usable when QT_QPA_PLATFORM chooses a platform, WAYLAND_DISPLAY is set, or DISPLAY names an
// X server; a local X server (":N") must accept a connection on its socket.
DisplayProbe probeDisplay();

// The probe for given values of those three variables (none: unset).
DisplayProbe probeDisplay(const char* qpaPlatform, const char* waylandDisplay, const char* display);

} // namespace kavelin
