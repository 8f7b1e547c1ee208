#include "CommandFixture.h"
#include "support/TgaWriter.h"

#include <filesystem>
#include <unistd.h>

using namespace kavelin;
using kavelin::test::Lines;

namespace {

using LayerSetCommands = test::CommandFixture;

// Set 0 with layers 0 and 1, without pictures.
class LayerCommands : public test::CommandFixture {
protected:
    void SetUp() override {
        CommandFixture::SetUp();
        for (const char* line : {"116", "121 0", "121 0"})
            ASSERT_EQ(run(line).substr(0, 2), "OK");
    }
};

} // namespace

TEST_F(LayerSetCommands, SetsAndLayersAreNumberedAndReleased) {
    walk({
        {"116", "OK 0", {}},
        {"116", "OK 1", {}},
        {"121 0", "OK 0", {}},
        {"121 1", "OK 1", {}},
        {"121 0", "OK 2", {}},
        {"121 7", "ERROR", {"ERROR (createLayer): Invalid layer set number (7)"}},
        {"117 0", "OK", {"Layer set 0 released."}},
        {"61 2", "ERROR", {"ERROR : No layer found for number 2."}},
        {"116", "OK 0", {}},
        {"121 0", "OK 0", {}},
        {"117 5", "ERROR", {"ERROR (releaseLayerSet): Invalid layer set number (5)"}},
        {"117 -1", "ERROR", {"ERROR (releaseLayerSet): Invalid layer set number (-1)"}},
        {"118 9", "ERROR", {"ERROR (layerSetSendBackward): Invalid layer set number (9)"}},
        {"119 -1", "ERROR", {"ERROR (layerSetBringForward): Invalid layer set number (-1)"}},
        {"122 5 0 0", "ERROR", {"ERROR (setLayerSetPosition): Invalid layer set number (5)"}},
        {"118 1", "OK", {}},
        {"122 0 100 50", "OK", {}},
        {"120", "OK", {"Releasing all layer sets."}},
        {"121 0", "ERROR", {"ERROR (createLayer): Invalid layer set number (0)"}},
        {"116", "OK 0", {}},
        {"121 0", "OK 0", {}},
    });
}

TEST_F(LayerCommands, PicturesFromFilesSizesAndClearing) {
    ASSERT_TRUE(test::writeTga(file("logo.tga"), 3, 2, std::vector<uint32_t>(6, 0x00112233), 24));
    const std::string missing = file("missing.tga");
    walk({
        {"62 0 0 0", "OK", {"Layer 0 initialized to 0 x 0"}},
        {"62 0 -1 10", "ERROR", {"ERROR (initLayer_size) : init failed."}},
        {"63 0 " + file("logo.tga"), "OK", {"Layer 0 initialized. (tga)"}},
        {"124 0", "OK 3 2", {}},
        {"63 0 " + missing,
         "ERROR",
         {"ERROR : " + missing + ": No such file or directory.",
          "ERROR (initLayer_tga) : init failed. (" + missing + ")"}},
        {"124 0", "OK 3 2", {}}, // a failed load leaves the picture as it was
        {"124 77", "ERROR", {"ERROR (getLayerImageSize) : No layer found for number 77."}},
        {"61 0", "OK", {"Layer 0 reseted."}},
        {"91 0", "ERROR", {"ERROR (clearLayer) : Failed to clear layer 0."}},
        {"62 0 4 4", "OK", {"Layer 0 initialized to 4 x 4"}},
        {"91 0", "OK", {"Layer 0 cleared."}},
        {"124 0", "OK 0 0", {}},
        {"92", "OK", {"All layers cleared."}},
        {"61 0", "OK", {"Layer 0 reseted."}},
        {"59", "OK", {"Framebuffer cleared."}},
    });
    run("63 0 " + file("logo.tga"));
    EXPECT_EQ(std::pair(int(layer(0).image()->pixels()[3]), layer(0).windowWidth()),
              std::pair(255, 3)); // 24-bit files are opaque
}

// A missing file ends a sequence; a file that is there and broken fails the whole load, which
// then changes nothing.
TEST_F(LayerCommands, SequencesStopAtTheFirstMissingFile) {
    const std::string prefix = file("run_");
    for (int i : {1, 2, 3, 5})
        ASSERT_TRUE(test::writeTga(prefix + "000" + std::to_string(i) + ".tga", 2, 2,
                                   std::vector<uint32_t>(4, 0xFF000000u + uint32_t(i))));
    walk({{"64 0 " + prefix + "\t1 5",
           "OK",
           {"Layer 0 Loading tga sequence " + prefix,
            "ERROR : Failed to open file " + prefix + "0004.tga",
            "WARNING (initLayer_tgaSequence) : Only the frames 1 - 3 loaded."}},
          {"64 0 " + prefix + "\t4 5",
           "ERROR",
           {"Layer 0 Loading tga sequence " + prefix,
            "ERROR : Failed to open file " + prefix + "0004.tga",
            "ERROR (initLayer_tgaSequence) : Failed to load frames."}}});
    EXPECT_EQ(layer(0).frameCount(), 3); // no frame loaded: the sequence before stays
    EXPECT_EQ(run("64 0 " + prefix + "\t5 1"), "OK");
    EXPECT_EQ(take().back(), "Layer 0 initialized. (sequence)");
    EXPECT_EQ(layer(0).frameCount(), 1);
    EXPECT_EQ(run("64 0 " + prefix + "\t1 3"), "OK");
    EXPECT_EQ(std::pair(layer(0).frameCount(), layer(0).windowWidth()), std::pair(3, 2));
    run("98 0 1"); // frame 2's picture is the second file's
    EXPECT_EQ(layer(0).image()->pixels()[0], 2);

    // Frame 2 cut short, frame 3 not a file: each fails the load, however many frames came
    // before.
    ASSERT_EQ(::truncate((prefix + "0002.tga").c_str(), 20), 0);
    std::filesystem::remove(prefix + "0003.tga");
    std::filesystem::create_directory(prefix + "0003.tga");
    const std::string failed = "ERROR (initLayer_tgaSequence) : Failed to load frames.";
    walk({{"64 0 " + prefix + "\t1 3",
           "ERROR",
           {"Layer 0 Loading tga sequence " + prefix,
            "ERROR : " + prefix + "0002.tga: header claims more than the file holds.",
            "ERROR : Failed to get image data from " + prefix + "0002.tga", failed}},
          {"64 0 " + prefix + "\t3 3",
           "ERROR",
           {"Layer 0 Loading tga sequence " + prefix,
            "ERROR : " + prefix + "0003.tga: is a directory.",
            "ERROR : Failed to open file " + prefix + "0003.tga", failed}}});
    EXPECT_EQ(std::tuple(layer(0).frameCount(), layer(0).frameIndex(), layer(0).windowWidth()),
              std::tuple(3, 1, 2));
    EXPECT_EQ(layer(0).image()->pixels()[0], 2);

    // A name longer than 259 bytes is refused, not cut.
    const std::string longPrefix(300, 'x');
    walk({{"64 0 " + longPrefix + "\t1 2",
           "ERROR",
           {"Layer 0 Loading tga sequence " + longPrefix,
            "ERROR : " + longPrefix + "0001.tga: file name longer than 259 bytes.", failed}}});
    EXPECT_EQ(layer(0).frameCount(), 3);
}

TEST_F(LayerCommands, GeometryAttributesAndAnimationsWithoutAndWithAPicture) {
    walk({
        {"75 0", "OK", {"Layer 0 set visible."}},
        {"69 0 0 0 0 0 0 0 0 0 0 0", "ERROR", {"ERROR (setLayerCursor) : Operation failed."}},
        {"70 0 0 0 0 0", "ERROR", {"ERROR (setLayerCursor_coordinates) : failed."}},
        {"102 0 0 0 0 5", "ERROR", {"ERROR (cropLayerImage) : invalid dimensions. (0 x 5)"}},
        {"102 0 0 0 5 5", "ERROR", {"ERROR (cropLayerImage) : Crop failed."}},
        {"86 0", "ERROR", {"ERROR (cropLayerImage) : Crop failed."}},
        {"78 0 1 256", "ERROR", {"ERROR (setLayerBlending) : Opacity value 256 out of range."}},
        {"88 0 0 10", "ERROR", {"ERROR (fadeLayer) : fade failed!"}},
        {"89 0 0 -1", "ERROR", {"ERROR (crossFadeLayers) : invalid frame count -1."}},
        {"89 0 0 5", "ERROR", {"ERROR (crossFadeLayers) : Crossfade failed!"}},
        {"123 0 0 0 -1", "ERROR", {"ERROR (scrollerPlayEx_n) : Illegal speed 0."}},
        {"123 0 0 2 -1", "ERROR", {"ERROR (scrollerPlayEx_n) : Illegal pixel count -1."}},
        {"81 0 -3", "ERROR", {"ERROR (scrollerPlay_n) : Illegal pixel count -3."}},
        {"79 0 0 0 0 0 1", "ERROR", {"ERROR (setupScroller) : Setup failed."}},
        {"96 0 1", "ERROR", {"ERROR (sequencePlay) : Operation failed."}},
        // Refused starts say so, and never log what they did not do.
        {"97 0 1 0 0",
         "ERROR",
         {"ERROR (sequencePlayRange) : Frames 0 to 0 are not among layer 0's 0 frames."}},
        {"98 0 5",
         "ERROR",
         {"ERROR (setSequenceFrame) : Frame 5 is not among layer 0's 0 frames."}},
        {"80 0", "ERROR", {"ERROR (scrollerPlay) : Layer 0 has no image."}},
        {"81 0 10", "ERROR", {"ERROR (scrollerPlay_n) : Layer 0 has no image."}},
        {"123 0 0 2 8", "ERROR", {"ERROR (scrollerPlayEx_n) : Layer 0 has no image."}},
        {"94 0 0", "ERROR", {"ERROR (scrollerPlayPair) : Layer 0 has no image."}},
        {"84 0 0", "ERROR", {"ERROR (copyLayer) : Layer 0 has no image."}},
        {"85 0 0 0 0 1 1", "ERROR", {"ERROR (copyLayerRegion) : Layer 0 has no image."}},
        {"115 0", "OK 0", {}},
        {"82 0", "OK", {}},
        {"83 0", "OK", {}},
        {"68 0 3 4", "OK", {}},
    });
    EXPECT_FALSE(layer(0).isVisible()); // shown without a picture: stays hidden

    run("62 0 300 100");
    walk({
        {"66 0 10 -20", "OK", {"Layer 0 position set to (10, -20)"}},
        {"67 0 200 100", "OK", {"Layer 0 size set to 200 x 100"}},
        {"67 0 -1 100", "ERROR", {"ERROR (setLayerSize) : Operation failed."}},
        {"68 0 -50 0", "OK", {}},
        {"86 0", "OK", {"Layer 0 image cropped."}},
        {"124 0", "OK 200 100", {}},
        {"102 0 10 10 50 20", "OK", {"Layer 0 image cropped to 50x20."}},
        {"124 0", "OK 50 20", {}},
        {"69 0 1 2 0 0 9 9 1 1 2 128", "OK", {"Layer 0 cursor set."}},
        {"70 0 3 4 2 2", "OK", {"Layer 0 cursor set to coordinates (3, 4)."}},
        {"78 0 0 10", "OK", {}},
        {"75 0", "OK", {"Layer 0 set visible."}},
        {"76 0", "OK", {"Layer 0 hidden."}},
        {"79 0 0 1 1 2 4", "OK", {"Layer 0 scroller setup done."}},
        {"80 0", "OK", {"Layer 0 scroller playing."}},
        {"115 0", "OK 1", {}},
        {"81 0 10", "OK", {"Layer 0 scroller playing for 10 pixels."}},
        {"123 0 3 2 8", "OK", {"Layer 0 scrolling for 8 pixels, to direction 3, at speed 2."}},
        {"94 0 0", "OK", {"Scrollers started on layers 0 and 0."}},
        {"88 0 0 25", "OK", {"Layer 0 fading to 0 in 25 frames."}},
        {"89 0 0 0", "OK", {"Layers 0 and 0 crossfading in 0 frames."}},
        {"84 0 0", "OK", {"Layer 0 copied to layer 0."}},
        {"98 0 1",
         "ERROR",
         {"ERROR (setSequenceFrame) : Frame 1 is not among layer 0's 1 frames."}},
        {"97 0 1 0 1",
         "ERROR",
         {"ERROR (sequencePlayRange) : Frames 0 to 1 are not among layer 0's 1 frames."}},
        {"97 0 1 0 0", "OK", {"Playing sequence on layer 0. (frames 0 to 0)"}},
    });
    EXPECT_EQ(layer(0).offsetX(), 200); // 94 restarted the scroller at its start offset
    EXPECT_EQ(layer(0).posY(), -20);
    const DrawCursor& cursor = *layer(0).cursor();
    EXPECT_EQ(cursor.cursorX, 3);
    EXPECT_EQ(cursor.alignY, 2);
    EXPECT_TRUE(cursor.growsToFit());
    EXPECT_EQ(cursor.drawMode, 2);
    EXPECT_EQ(cursor.drawValue, 128);
    EXPECT_EQ(layer(0).blendMode(), 0);
}

TEST_F(LayerCommands, TwoLayerCommandsNameTheFirstMissingNumberAndToggleSwaps) {
    walk({
        {"84 5 6", "ERROR", {"ERROR : No layer found for number 5."}},
        {"84 0 6", "ERROR", {"ERROR : No layer found for number 6."}},
        {"90 9 0", "ERROR", {"ERROR : No layer found for number 9."}},
        {"89 0 -4 3", "ERROR", {"ERROR : No layer found for number -4."}},
        {"94 8 9", "ERROR", {"ERROR : No layer found for number 8."}},
        {"85 0 7 0 0 1 1", "ERROR", {"ERROR : No layer found for number 7."}},
    });
    run("62 0 2 2");
    run("62 1 2 2");
    EXPECT_EQ(run("90 0 1"), "OK"); // both hidden: the first shows
    EXPECT_TRUE(layer(0).isVisible());
    EXPECT_FALSE(layer(1).isVisible());
    EXPECT_EQ(run("90 0 1"), "OK");
    EXPECT_FALSE(layer(0).isVisible());
    EXPECT_TRUE(layer(1).isVisible());
}

TEST_F(LayerCommands, CopiesDrawAtTheCursorAndNeverChangeAPictureOnAir) {
    run("62 0 10 10");
    run("62 1 4 4");
    // A picture grown to the left keeps its content where it was on screen.
    run("69 0 -20 0 0 0 0 0 1 0 0 0");
    const std::shared_ptr<const Image> before = layer(0).imageRef();
    EXPECT_EQ(run("84 0 1"), "OK");
    EXPECT_EQ(std::pair(layer(0).image()->width(), layer(0).offsetX()), std::pair(30, -20));
    EXPECT_EQ(before->width(), 10); // the frame path's picture was not touched

    // A layer copied onto itself reads its pixels before any of them changes.
    run("69 1 1 0 0 0 0 0 0 0 0 0");
    auto pattern = std::make_shared<Image>();
    ASSERT_TRUE(pattern->allocate(4, 4));
    for (int i = 0; i < 16; ++i)
        pattern->pixels()[i * 4] = static_cast<uint8_t>(i);
    (void)layer(1).replaceImage(0, pattern);
    EXPECT_EQ(run("84 1 1"), "OK");
    const uint8_t* p = layer(1).image()->pixels();
    EXPECT_EQ(std::tuple(p[4], p[8], p[12]), std::tuple(0, 1, 2));
    EXPECT_EQ(pattern->pixels()[4], 1);

    // A region: 2 x 2 from (1, 1) of layer 1, drawn at layer 0's cursor (20, 0).
    run("62 0 30 10");
    run("69 0 20 0 0 0 0 0 0 0 0 0");
    walk({{"85 0 1 1 1 2 2", "OK", {"Layer 1 region (1, 1) 2 x 2 copied to layer 0."}}});
    EXPECT_EQ(layer(0).image()->pixels()[20 * 4], p[(1 * 4 + 1) * 4]);
    // A region that is not wholly within the source copies nothing, and says so.
    const std::shared_ptr<const Image> copied = layer(0).imageRef();
    for (const auto& [line, region] : {std::pair("85 0 1 3 3 2 2", "(3, 3) 2 x 2"),
                                       std::pair("85 0 1 -1 0 2 2", "(-1, 0) 2 x 2"),
                                       std::pair("85 0 1 0 0 0 2", "(0, 0) 0 x 2")})
        walk({{line,
               "ERROR",
               {"ERROR (copyLayerRegion) : Region " + std::string(region) +
                " is not within layer 1's 4 x 4 image."}}});
    EXPECT_EQ(layer(0).imageRef(), copied);
}

// Composition passes over what cannot change a pixel only in pictures whose rows were measured:
// every command that shows a new or changed picture measures it before the frame path sees it.
TEST_F(LayerCommands, EveryPictureShownHasItsRowsMeasured) {
    const auto measured = [&](int number) { return layer(number).image()->coverage() != nullptr; };
    ASSERT_TRUE(test::writeTga(file("wide.tga"), 20, 2, std::vector<uint32_t>(40, 0xFF112233)));
    ASSERT_TRUE(test::writeTga(file("seq_0001.tga"), 20, 1, std::vector<uint32_t>(20, 0)));
    EXPECT_EQ(run("62 0 20 2"), "OK");
    EXPECT_TRUE(measured(0));
    EXPECT_EQ(run("63 1 " + file("wide.tga")), "OK");
    EXPECT_TRUE(measured(1));
    EXPECT_EQ(run("84 0 1"), "OK"); // drawn in place: layer 0 is hidden and not shared
    EXPECT_TRUE(measured(0));
    EXPECT_EQ(layer(0).image()->coverage()->row(1).opaque, 1u);
    run("75 0");
    EXPECT_EQ(run("84 0 1"), "OK"); // drawn into a copy: layer 0 is on air
    EXPECT_TRUE(measured(0));
    EXPECT_EQ(run("64 0 " + file("seq_") + "\t1 1"), "OK");
    EXPECT_TRUE(measured(0));
    run("102 1 0 0 18 1"); // the window, then the picture cut to it
    EXPECT_EQ(run("86 1"), "OK");
    EXPECT_TRUE(measured(1));
}
