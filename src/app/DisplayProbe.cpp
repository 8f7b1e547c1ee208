#include "app/DisplayProbe.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kavelin {

namespace {

bool nonEmpty(const char* value) {
    return value != nullptr && value[0] != '\0';
}

// Qt's X11 platform, alone or with options ("xcb:...").
bool isX11(const char* qpaPlatform) {
    return std::strcmp(qpaPlatform, "xcb") == 0 || std::strncmp(qpaPlatform, "xcb:", 4) == 0;
}

// Connects to a Unix socket by path; an abstract name starts with '@'.
bool canConnect(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size());
    if (path[0] == '@')
        address.sun_path[0] = '\0';
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return ok;
}

// What is written to standard error while it lives, kept instead: libxcb writes there the
// reason a server gives for refusing a connection. The probe runs before any other thread of
// the program exists, so nothing else is written there meanwhile.
class CaughtErrors {
public:
    CaughtErrors() : file_(::memfd_create("kavelin-probe", MFD_CLOEXEC)), saved_(::dup(2)) {
        if (file_ >= 0 && saved_ >= 0)
            ::dup2(file_, 2);
    }
    ~CaughtErrors() {
        if (file_ >= 0 && saved_ >= 0)
            ::dup2(saved_, 2);
        for (const int fd : {file_, saved_})
            if (fd >= 0)
                ::close(fd);
    }
    CaughtErrors(const CaughtErrors&) = delete;
    CaughtErrors& operator=(const CaughtErrors&) = delete;

    // The text written so far, on one line.
    std::string text() const {
        std::string text(512, '\0');
        const ssize_t n = file_ >= 0 ? ::pread(file_, text.data(), text.size(), 0) : 0;
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        std::replace(text.begin(), text.end(), '\n', ' ');
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    }

private:
    int file_;
    int saved_;
};

// Opens and closes an X connection as Qt would make it: the connection set-up is where the
// server's access control refuses a client, and where a missing screen shows.
DisplayProbe openX11(const char* display, bool local) {
    int screen = 0;
    int error = 0;
    std::string serverReason;
    {
        const CaughtErrors errors;
        xcb_connection_t* connection = xcb_connect(display, &screen);
        error = xcb_connection_has_error(connection);
        xcb_disconnect(connection);
        serverReason = errors.text();
    }
    const std::string name = display;
    if (error == 0)
        return {true, {}};
    if (error == XCB_CONN_CLOSED_INVALID_SCREEN)
        return {false, "display " + name + " has no screen " + std::to_string(screen)};
    if (error == XCB_CONN_ERROR && (local || !serverReason.empty()))
        return {false, "display " + name + " answers but refuses the connection" +
                           (serverReason.empty() ? "" : " (" + serverReason + ")")};
    return {false, "cannot open display " + name};
}

} // namespace

DisplayProbe probeDisplay(const char* qpaPlatform, const char* waylandDisplay,
                          const char* display) {
    if (nonEmpty(qpaPlatform) ? !isX11(qpaPlatform) : nonEmpty(waylandDisplay))
        return {true, {}};
    if (!nonEmpty(display))
        return {false, nonEmpty(qpaPlatform)
                           ? "no display (DISPLAY is unset)"
                           : "no display (DISPLAY and WAYLAND_DISPLAY are unset)"};
    std::string name = display;
    if (name.rfind("unix:", 0) == 0)
        name.erase(0, 4);
    // A remote display is only opened; a local one (":N" or ":N.S") must answer on its socket
    // first, which tells a display without a server from one that refuses this program.
    if (name.empty() || name[0] != ':')
        return openX11(display, false);
    const std::string number = name.substr(1, name.find('.') - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return {false, std::string("cannot open display ") + display};
    const std::string socket = "/tmp/.X11-unix/X" + number;
    if (!canConnect(socket) && !canConnect("@" + socket))
        return {false, std::string("cannot open display ") + display};
    return openX11(display, true);
}

DisplayProbe probeDisplay() {
    return probeDisplay(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                        std::getenv("DISPLAY"));
}

std::string displayName(const char* qpaPlatform, const char* waylandDisplay, const char* display) {
    if (nonEmpty(qpaPlatform) ? !isX11(qpaPlatform) : nonEmpty(waylandDisplay))
        return nonEmpty(qpaPlatform) ? std::string("platform ") + qpaPlatform
                                     : std::string("Wayland display ") + waylandDisplay;
    return std::string("display ") + (nonEmpty(display) ? display : "(none)");
}

std::string displayName() {
    return displayName(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                       std::getenv("DISPLAY"));
}

} // namespace kavelin
