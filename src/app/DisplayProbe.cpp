#include "app/DisplayProbe.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kavelin {

namespace {

bool nonEmpty(const char* value) {
    return value != nullptr && value[0] != '\0';
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

} // namespace

DisplayProbe probeDisplay(const char* qpaPlatform, const char* waylandDisplay,
                          const char* display) {
    if (nonEmpty(qpaPlatform) || nonEmpty(waylandDisplay))
        return {true, {}};
    if (!nonEmpty(display))
        return {false, "no display (DISPLAY and WAYLAND_DISPLAY are unset)"};
    std::string name = display;
    if (name.rfind("unix:", 0) == 0)
        name.erase(0, 4);
    // Only a local display (":N" or ":N.S") is checked here; a remote one is left to Qt.
    if (name.empty() || name[0] != ':')
        return {true, {}};
    const std::string number = name.substr(1, name.find('.') - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return {false, std::string("cannot open display ") + display};
    const std::string socket = "/tmp/.X11-unix/X" + number;
    if (canConnect(socket) || canConnect("@" + socket))
        return {true, {}};
    return {false, std::string("cannot open display ") + display};
}

DisplayProbe probeDisplay() {
    return probeDisplay(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                        std::getenv("DISPLAY"));
}

} // namespace kavelin
