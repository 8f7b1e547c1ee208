#include "engine/Format.h"

#include <gtest/gtest.h>

using namespace kavelin;
using std::chrono::nanoseconds;

TEST(FormatTest, NamedAndCustomFormats) {
    struct Case {
        const char* text;
        int32_t width, height;
        int64_t numerator, denominator;
        bool interlaced;
    };
    for (const Case& c : {Case{"pal", 720, 576, 25, 1, false},
                          {"720p5994", 1280, 720, 60000, 1001, false},
                          {"1080i50", 1920, 1080, 25, 1, true},
                          {"2160p50", 3840, 2160, 50, 1, false},
                          {"1920x1080@30000/1001", 1920, 1080, 30000, 1001, false},
                          {"1920x1080@25i", 1920, 1080, 25, 1, true},
                          {"16384x2@1000", 16384, 2, 1000, 1, false},
                          {"64x48@1", 64, 48, 1, 1, false}}) {
        const Result<Format> format = parseFormat(c.text);
        ASSERT_TRUE(format.ok()) << c.text << ": " << format.reason();
        EXPECT_EQ(format->name, c.text);
        EXPECT_EQ(std::tuple(format->width, format->height, format->rate.numerator,
                             format->rate.denominator, format->interlaced),
                  std::tuple(c.width, c.height, c.numerator, c.denominator, c.interlaced))
            << c.text;
        EXPECT_EQ(format->fieldsPerFrame(), c.interlaced ? 2 : 1) << c.text;
    }
}

TEST(FormatTest, MalformedAndOutOfRangeFormatsAreRefusedWithTheAcceptedForms) {
    for (const char* text : {"", "PAL", "ntsc", "1080p", "1920x1080", "1920x1080@", "x1080@25",
                             "1920x@25", "1920x1080@0", "1920x1080@25/0", "-5x10@25",
                             "1920x1080@25p", "1920x1080@25/1/2", "16385x16@25", "720x575@25i",
                             "720x576@1001", "720x576@1/2", "1920 x1080@25", "16384x16385@25"}) {
        const Result<Format> format = parseFormat(text);
        ASSERT_FALSE(format.ok()) << text;
        EXPECT_EQ(format.reason().find('\n'), std::string::npos) << text;
    }
    EXPECT_EQ(parseFormat("ntsc").reason().rfind("unknown format 'ntsc'; accepted: pal, ", 0), 0u);
    EXPECT_NE(parseFormat("ntsc").reason().find("1080i50"), std::string::npos);
    EXPECT_NE(parseFormat("ntsc").reason().find("WxH@RATE"), std::string::npos);
}

TEST(FormatTest, FrameTimesComeFromTheCountAndNeverDrift) {
    const FrameRate ntsc{30000, 1001};
    EXPECT_EQ(ntsc.timeOf(30000), std::chrono::seconds(1001));
    EXPECT_EQ(ntsc.timeOf(2997), nanoseconds(99999900000)); // 2998 would be past 100 s
    EXPECT_EQ(ntsc.timeOf(2), nanoseconds(66733333));
    // A year of frames at 60000/1001 is still exact to the nanosecond below.
    const int64_t yearOfFrames = int64_t{60} * 60 * 24 * 365 * 60000 / 1001;
    EXPECT_EQ(FrameRate({60000, 1001}).timeOf(yearOfFrames).count(),
              static_cast<int64_t>((__int128{yearOfFrames} * 1001 * 1000000000) / 60000));
}
