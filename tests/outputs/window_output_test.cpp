// The window output as the engine drives it, through an output sink, on Qt's offscreen
// platform: frames reach the window; the window closes, refuses frames, and opens again. Where a
// frame goes in the window is the placement rule's (its table below).
#include "engine/Frame.h"
#include "outputs/window/FrameExchange.h"
#include "outputs/window/KvWindowOutput.h"
#include "outputs/window/OutputWindow.h"
#include "outputs/window/PicturePlacement.h"
#include "support/OffscreenQt.h"
#include "support/RecordingLog.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace kavelin;
using test::offscreenApp;
using test::serveUntil;

namespace {

constexpr int kWait = 20000; // ms; generous for a loaded machine and the sanitizers

class WindowOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        offscreenApp();
        sink = std::make_unique<OutputSink>(
            "window",
            std::make_unique<KvWindowOutput>(720, 576, PixelColour{0, 0, 255, 255}, true, log));
        output = static_cast<KvWindowOutput*>(&sink->consumer());
    }
    // Hands over a frame of one pixel value and waits until it has been shown or refused.
    void deliver(uint32_t pixel) {
        std::shared_ptr<Frame> frame = pool.acquire();
        std::fill_n(reinterpret_cast<uint32_t*>(frame->pixels->pixels()), 720 * 576, pixel);
        const uint64_t before = sink->delivered() + sink->dropped();
        sink->offer(frame);
        ASSERT_TRUE(
            serveUntil([&] { return sink->delivered() + sink->dropped() > before; }, kWait));
        QCoreApplication::sendPostedEvents(); // the repaint it asked for
    }
    QRgb pixelAt(int x, int y) { return output->window()->grab().toImage().pixel(x, y) & 0xFFFFFF; }

    test::RecordingLog log;
    FramePool pool{720, 576};
    std::unique_ptr<OutputSink> sink;
    KvWindowOutput* output = nullptr;
};

} // namespace

TEST_F(WindowOutputTest, ClosedWindowRefusesFramesAndOpensAgainEmpty) {
    ASSERT_TRUE(sink->start());
    EXPECT_TRUE(output->isRunning());
    deliver(0xFFFFFFFF);
    EXPECT_EQ(pixelAt(360, 288), 0xFFFFFFu);

    output->closeWindow(); // the dialog's Show/Hide
    EXPECT_FALSE(output->isRunning());
    EXPECT_EQ(output->window(), nullptr);
    deliver(0xFFFFFFFF);
    EXPECT_EQ(sink->dropped(), 1u);

    // Opened again, the window shows the background until the next frame arrives.
    ASSERT_TRUE(output->openWindow());
    EXPECT_TRUE(output->window()->isVisible());
    EXPECT_EQ(pixelAt(360, 288), 0x0000FFu);
    deliver(0xFF336699); // red, green and blue each where they belong
    EXPECT_EQ(pixelAt(360, 288), 0x336699u);
    EXPECT_EQ(sink->delivered(), 2u);

    // The window's own close button closes it the same way.
    output->window()->close();
    ASSERT_TRUE(serveUntil([&] { return !output->isRunning(); }, kWait));
    EXPECT_EQ(output->window(), nullptr);
    ASSERT_TRUE(output->openWindow());
    EXPECT_TRUE(output->window()->isVisible());
    sink.reset(); // the output goes, and its window with it
    for (const QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->windowTitle(), "Kavelin Window Output");
}

TEST(PicturePlacementTest, FrameInClientAreas) {
    struct Expected {
        int frameW, frameH, cw, ch;
        bool scale;
        int x, y, w, h;
    } const cases[] = {
        {720, 576, 800, 600, true, 40, 12, 720, 576}, // larger: centred, never enlarged
        {720, 576, 360, 576, true, 0, 144, 360, 288}, // narrower: shrunk by width
        {720, 576, 719, 576, true, 0, 0, 719, 575},   // 575.2 rows cut to 575
        {720, 576, 720, 400, true, 110, 0, 500, 400}, // lower: the second step shrinks by height
        {720, 576, 640, 480, false, 0, 0, 720, 576},  // unscaled and smaller: top-left part
        {720, 576, 0, 0, true, 0, 0, 0, 0},           // minimised
        {720, 576, 721, 577, false, 0, 0, 720, 576},  // odd margin halves towards minus infinity
        {720, 576, -5, -1, true, 0, 0, 0, 0},         // nonsense sizes act as an empty area
        {720, 576, 100, 20, true, 37, 0, 25, 20},     // both steps: width first, then height
        {0, 0, 100, 50, true, 50, 25, 0, 0},          // a frame without area is never scaled
    };
    for (const Expected& c : cases) {
        const auto p = placePicture(c.frameW, c.frameH, c.cw, c.ch, c.scale);
        EXPECT_EQ(std::tuple(p.x, p.y, p.width, p.height), std::tuple(c.x, c.y, c.w, c.h))
            << c.frameW << " in " << c.cw << " x " << c.ch << " scale " << c.scale;
    }
}

TEST(FrameExchangeTest, NewestFrameWinsAndShownFrameIsNeverWrittenTo) {
    auto exchange = FrameExchange::create(4, 2);
    ASSERT_TRUE(exchange);
    EXPECT_EQ(exchange->acquire(), nullptr); // nothing published yet
    auto source = FrameBuffer::create(4, 2);
    auto publish = [&](uint8_t value) {
        std::memset(source->pixels(), value, static_cast<size_t>(source->byteSize()));
        exchange->publish(*source);
    };
    publish(1);
    publish(2); // replaces 1 before it was shown
    const FrameBuffer* shown = exchange->acquire();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->pixels()[0], 2);
    EXPECT_EQ(shown->pixels()[3], 0xFF); // alpha made opaque for the screen
    for (uint8_t v = 3; v < 8; ++v) {    // while it is shown, the producer writes elsewhere
        publish(v);
        EXPECT_EQ(shown->pixels()[0], 2);
    }
    const FrameBuffer* next = exchange->acquire();
    EXPECT_EQ(next->pixels()[0], 7);
    EXPECT_EQ(exchange->acquire(), next); // without a new frame the same one again

    // A frame of another size: the overlapping part, row by row at each side's own pitch.
    auto wide = FrameBuffer::create(6, 3);
    for (int64_t i = 0; i < wide->byteSize(); ++i)
        wide->pixels()[i] = static_cast<uint8_t>(i);
    exchange->publish(*wide);
    shown = exchange->acquire();
    EXPECT_EQ(shown->pixels()[4 * 4 + 2], wide->pixels()[6 * 4 + 2]); // pixel (0, 1), red
    EXPECT_EQ(shown->pixels()[7 * 4 + 0], wide->pixels()[9 * 4 + 0]); // pixel (3, 1), blue
}
