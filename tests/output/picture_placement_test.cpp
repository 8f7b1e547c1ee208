#include "output/FrameExchange.h"
#include "output/PicturePlacement.h"

#include <gtest/gtest.h>

#include <cstring>

using kavelin::FrameExchange;
using kavelin::placePicture;

namespace {

struct Expected {
    int cw, ch;
    bool scale;
    int x, y, w, h;
};

} // namespace

TEST(PicturePlacementTest, FrameInClientAreas) {
    const Expected cases[] = {
        {800, 600, true, 40, 12, 720, 576},  // larger: centred, never enlarged
        {800, 600, false, 40, 12, 720, 576}, //
        {360, 576, true, 0, 144, 360, 288},  // narrower: shrunk by width
        {719, 576, true, 0, 0, 719, 575},    // 575.2 rows cut to 575
        {720, 400, true, 110, 0, 500, 400},  // lower: the second step shrinks by height
        {640, 480, false, 0, 0, 720, 576},   // unscaled and smaller: top-left part, cut
        {0, 0, true, 0, 0, 0, 0},            // minimised
        {720, 576, true, 0, 0, 720, 576},
        {721, 577, false, 0, 0, 720, 576}, // odd margin halves towards minus infinity
        {-5, -1, true, 0, 0, 0, 0},        // nonsense sizes act as an empty area
        {100, 20, true, 37, 0, 25, 20},    // both steps: width first, then height
    };
    for (const Expected& c : cases) {
        const auto p = placePicture(720, 576, c.cw, c.ch, c.scale);
        EXPECT_EQ(p.x, c.x) << c.cw << " x " << c.ch << " scale " << c.scale;
        EXPECT_EQ(p.y, c.y) << c.cw << " x " << c.ch << " scale " << c.scale;
        EXPECT_EQ(p.width, c.w) << c.cw << " x " << c.ch << " scale " << c.scale;
        EXPECT_EQ(p.height, c.h) << c.cw << " x " << c.ch << " scale " << c.scale;
    }
}

TEST(PicturePlacementTest, EmptyFrameIsNeverScaled) {
    const auto p = placePicture(0, 0, 100, 50, true);
    EXPECT_EQ(p.width, 0);
    EXPECT_EQ(p.height, 0);
    EXPECT_EQ(p.x, 50);
    EXPECT_EQ(p.y, 25);
}

TEST(FrameExchangeTest, NewestFrameWinsAndShownFrameIsNeverDrawnInto) {
    auto exchange = FrameExchange::create(4, 2);
    ASSERT_TRUE(exchange);
    EXPECT_EQ(exchange->acquire(), nullptr); // nothing published yet
    EXPECT_EQ(exchange->drawing()->pitch(), 16);

    auto draw = [&](uint8_t value) {
        kavelin::FrameBuffer* f = exchange->drawing();
        std::memset(f->pixels(), value, static_cast<size_t>(f->byteSize()));
        exchange->publish();
    };
    draw(1);
    draw(2); // replaces 1 before it was shown
    const kavelin::FrameBuffer* shown = exchange->acquire();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->pixels()[0], 2);
    EXPECT_EQ(shown->pixels()[3], 0xFF); // alpha made opaque for the screen

    // While it is shown, the producer draws elsewhere.
    for (uint8_t v = 3; v < 8; ++v) {
        EXPECT_NE(exchange->drawing(), shown);
        draw(v);
        EXPECT_EQ(shown->pixels()[0], 2);
    }
    // Without a new frame the same one is shown again.
    const kavelin::FrameBuffer* next = exchange->acquire();
    EXPECT_EQ(next->pixels()[0], 7);
    EXPECT_EQ(exchange->acquire(), next);
}
