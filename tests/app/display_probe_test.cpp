#include "app/DisplayProbe.h"
#include "support/RefusingDisplay.h"

#include <gtest/gtest.h>

#include <csignal>

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

// A display that answers but lets no client in: Qt would end the process there, so the probe
// must see it first.
TEST(DisplayProbeTest, DisplayThatAnswersButRefusesIsNotUsable) {
    std::signal(SIGPIPE, SIG_IGN); // as the program does: the socket may be gone on a write
    const kavelin::test::RefusingDisplay display;
    ASSERT_FALSE(display.name().empty());
    for (const std::string& name : {display.name(), display.name() + ".0"})
        for (const char* platform : {static_cast<const char*>(nullptr), "xcb"}) {
            const auto probe = probeDisplay(platform, nullptr, name.c_str());
            EXPECT_FALSE(probe.usable);
            EXPECT_EQ(
                probe.reason,
                std::string("display ").append(name).append(" answers but refuses the connection"));
        }
}
