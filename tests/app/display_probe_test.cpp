#include "app/DisplayProbe.h"

#include <gtest/gtest.h>

using kavelin::probeDisplay;

TEST(DisplayProbeTest, DecidesBetweenWindowsAndHeadless) {
    EXPECT_FALSE(probeDisplay(nullptr, nullptr, nullptr).usable);
    EXPECT_FALSE(probeDisplay("", "", "").usable);
    EXPECT_NE(probeDisplay(nullptr, nullptr, nullptr).reason.find("DISPLAY"), std::string::npos);
    EXPECT_TRUE(probeDisplay("offscreen", nullptr, nullptr).usable);
    EXPECT_TRUE(probeDisplay(nullptr, "wayland-0", nullptr).usable);
    EXPECT_TRUE(probeDisplay(nullptr, nullptr, "remote.example:0").usable); // left to Qt
    // A local display with no server behind it, and malformed names, fall back to headless.
    for (const char* name : {":65000", "unix:65000.0", ":", ":abc", ":1x"}) {
        const auto probe = probeDisplay(nullptr, nullptr, name);
        EXPECT_FALSE(probe.usable) << name;
        EXPECT_EQ(probe.reason, std::string("cannot open display ") + name);
    }
}
