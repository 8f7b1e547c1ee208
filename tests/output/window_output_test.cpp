// The window output on Qt's offscreen platform: frames reach the window and are painted by the
// placement rule, the window closes and opens again while the frame clock keeps running.
#include "engine/FrameRequest.h"
#include "engine/FrameSource.h"
#include "image/FrameBuffer.h"
#include "output/qt/KvWindowOutput.h"
#include "output/qt/OutputWindow.h"
#include "support/OffscreenQt.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <atomic>

using kavelin::FrameBuffer;
using kavelin::KvWindowOutput;
using kavelin::test::offscreenApp;
using kavelin::test::serveUntil;

namespace {

// Fills every frame with one pixel value, alpha 0 included, and counts the ticks.
class FillSource : public kavelin::FrameSource {
public:
    explicit FillSource(uint32_t pixel) : pixel_(pixel) {}
    void onFrame(kavelin::FrameRequest& request) override {
        ++ticks;
        FrameBuffer* frame = request.beginFrame();
        if (frame != nullptr) {
            ++drawn;
            for (int32_t y = 0; y < frame->height(); ++y) {
                auto* row = reinterpret_cast<uint32_t*>(frame->pixels() + y * frame->pitch());
                for (int32_t x = 0; x < frame->width(); ++x)
                    row[x] = pixel_;
            }
        }
        request.endFrame(frame);
    }
    std::atomic<int> ticks{0};
    std::atomic<int> drawn{0};

private:
    uint32_t pixel_;
};

QRgb pixelAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

} // namespace

TEST(WindowOutputTest, PaintsFramesCentredOrShrunkOnBackground) {
    offscreenApp();
    FillSource source(0x00A0B0C0); // alpha 0: the screen ignores it
    KvWindowOutput output(720, 576, 25, {0, 0, 255, 255}, true);
    ASSERT_TRUE(output.open());
    kavelin::OutputWindow* window = output.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Kavelin Window Output");
    EXPECT_EQ(window->size(), QSize(720, 576));

    // Before the first frame the client area shows only the background colour.
    QImage image = window->grab().toImage();
    EXPECT_EQ(pixelAt(image, 360, 288), 0x0000FFu);

    output.setFrameSource(&source);
    ASSERT_TRUE(output.startFrames());
    ASSERT_TRUE(serveUntil([&] { return source.drawn >= 2; }));

    window->resize(360, 576); // scaled: 360 x 288 at 0, 144
    image = window->grab().toImage();
    EXPECT_EQ(pixelAt(image, 180, 143), 0x0000FFu);
    EXPECT_EQ(pixelAt(image, 180, 144), 0xA0B0C0u);
    EXPECT_EQ(pixelAt(image, 359, 431), 0xA0B0C0u);
    EXPECT_EQ(pixelAt(image, 180, 432), 0x0000FFu);

    output.setScale(false); // unscaled in a larger area: centred, 40, 12
    window->resize(800, 600);
    image = window->grab().toImage();
    EXPECT_EQ(pixelAt(image, 39, 300), 0x0000FFu);
    EXPECT_EQ(pixelAt(image, 40, 12), 0xA0B0C0u);
    EXPECT_EQ(pixelAt(image, 759, 587), 0xA0B0C0u);
    EXPECT_EQ(pixelAt(image, 760, 588), 0x0000FFu);
}

TEST(WindowOutputTest, ClosedWindowLendsNothingWhileFramesGoOnAndReopensBlack) {
    offscreenApp();
    FillSource source(0xFFFFFFFF); // outlives the output's frame clock
    KvWindowOutput output(720, 576, 25, {0, 0, 0, 255}, true);
    // A tick before a frame source is set does nothing (and must not crash).
    ASSERT_TRUE(output.startFrames());
    ASSERT_TRUE(output.open());
    EXPECT_TRUE(output.isRunning());

    output.setFrameSource(&source);
    ASSERT_TRUE(serveUntil([&] { return source.drawn >= 1; }));

    output.close();
    EXPECT_FALSE(output.isRunning());
    EXPECT_EQ(output.window(), nullptr);
    const int drawnWhenClosed = source.drawn;
    const int ticksWhenClosed = source.ticks;
    ASSERT_TRUE(serveUntil([&] { return source.ticks >= ticksWhenClosed + 3; }));
    EXPECT_LE(source.drawn, drawnWhenClosed + 1); // at most the frame already under way

    // Opened again, the back buffer is black before the next frame is drawn into it.
    output.setFrameSource(nullptr);
    serveUntil([] { return false; }, 100); // lets a tick in progress finish
    ASSERT_TRUE(output.open());
    EXPECT_TRUE(output.isRunning());
    FrameBuffer* back = output.beginFrame();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width(), 720);
    EXPECT_EQ(back->height(), 576);
    EXPECT_EQ(back->pitch(), 2880);
    bool black = true;
    for (int64_t i = 0; i < back->byteSize(); ++i)
        black = black && back->pixels()[i] == 0;
    EXPECT_TRUE(black);
    output.endFrame(back);

    // The window's own close button closes it the same way.
    output.window()->close();
    ASSERT_TRUE(serveUntil([&] { return !output.isRunning(); }));
    EXPECT_EQ(output.window(), nullptr);
    ASSERT_TRUE(output.open());
    EXPECT_TRUE(output.window()->isVisible());
}
