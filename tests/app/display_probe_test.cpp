#include "app/DisplayProbe.h"

#include <gtest/gtest.h>

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
