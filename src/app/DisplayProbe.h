#pragma once

#include <string>

namespace kavelin {

// Whether the window output can be used, decided before any GUI library is started (Qt ends
// the process when the display it is given cannot be used).
struct DisplayProbe {
    bool usable = false;
    // When not usable: why, in a few words.
    std::string reason;
};

// Usable when QT_QPA_PLATFORM chooses a platform other than X11 (xcb), or WAYLAND_DISPLAY is set
// without QT_QPA_PLATFORM; those are left to Qt. Otherwise DISPLAY must name an X server that
// accepts a connection from this program (its access control included) and has the screen
// asked for. A local server (":N") that does not answer at all is told apart from one that
// answers but refuses.
DisplayProbe probeDisplay();

// The probe for given values of those three variables (none: unset).
DisplayProbe probeDisplay(const char* qpaPlatform, const char* waylandDisplay, const char* display);

// What the windows are shown on, for messages: "display :0", "Wayland display wayland-0",
// "platform offscreen".
std::string displayName(const char* qpaPlatform, const char* waylandDisplay, const char* display);
std::string displayName();

} // namespace kavelin
