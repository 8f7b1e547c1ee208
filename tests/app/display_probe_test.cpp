#include "app/DisplayProbe.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using kavelin::displayName;
using kavelin::probeDisplay;

TEST(DisplayProbeTest, DecidesBetweenWindowsAndHeadless) {
    EXPECT_EQ(probeDisplay("", "", nullptr).reason,
              "no display (DISPLAY and WAYLAND_DISPLAY are unset)");
    EXPECT_EQ(probeDisplay("xcb", "wayland-0", "").reason, "no display (DISPLAY is unset)");
    EXPECT_TRUE(probeDisplay("offscreen", nullptr, nullptr).usable);
    EXPECT_TRUE(probeDisplay(nullptr, "wayland-0", nullptr).usable);
    // A local display with no server behind it, and malformed names, fall back to headless.
    for (const char* name : {":65000", "unix:65000.0", ":", ":abc", ":1x"}) {
        const auto probe = probeDisplay(nullptr, nullptr, name);
        EXPECT_FALSE(probe.usable) << name;
        EXPECT_EQ(probe.reason, std::string("cannot open display ") + name);
    }
    EXPECT_EQ(displayName("xcb:x", "wayland-0", ":3"), "display :3");
    EXPECT_EQ(displayName(nullptr, "wayland-1", ":3"), "Wayland display wayland-1");
    EXPECT_EQ(displayName("offscreen", nullptr, ":3"), "platform offscreen");
}

// A display that answers but lets no client in, as an X server with access control does to a
// client without its cookie: Qt would end the process there, so the probe must see it first.
// Here a socket on an unused display number takes every connection and closes it at once.
TEST(DisplayProbeTest, DisplayThatAnswersButRefusesIsNotUsable) {
    std::signal(SIGPIPE, SIG_IGN); // as the program does: the socket may be gone on a write
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string display;
    for (int n = 4000; n < 4100 && display.empty(); ++n) {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(n);
        sockaddr_un address{AF_UNIX, {}}; // an abstract name: a NUL, then the path
        std::memcpy(address.sun_path + 1, path.data(), path.size());
        if (::access(path.c_str(), F_OK) != 0 &&
            ::bind(fd, reinterpret_cast<sockaddr*>(&address),
                   static_cast<socklen_t>(sizeof(sa_family_t) + 1 + path.size())) == 0)
            display = std::string(":").append(std::to_string(n));
    }
    ASSERT_FALSE(display.empty());
    ASSERT_EQ(::listen(fd, 8), 0);
    std::thread server([fd] {
        for (int client; (client = ::accept(fd, nullptr, nullptr)) >= 0;)
            ::close(client);
    });
    for (const std::string& name : {display, display + ".0"})
        for (const char* platform : {static_cast<const char*>(nullptr), "xcb"}) {
            const auto probe = probeDisplay(platform, nullptr, name.c_str());
            EXPECT_FALSE(probe.usable);
            EXPECT_EQ(
                probe.reason,
                std::string("display ").append(name).append(" answers but refuses the connection"));
        }
    ::shutdown(fd, SHUT_RDWR); // ends the accept
    server.join();
    ::close(fd);
}
