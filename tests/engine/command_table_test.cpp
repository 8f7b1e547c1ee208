#include "engine/CommandHandlers.h"
#include "engine/CommandTable.h"
#include "net/Command.h"
#include "support/RecordingLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kavelin;

namespace {

// Records which operation a line reached and with which values; answers as told.
class FakeHandlers : public CommandHandlers {
public:
    std::vector<std::string> calls;
    bool answer = true;
    int32_t number = 7;
    int32_t width = 720, height = 576;
    std::u16string text;

    bool loadFont(int32_t f, const char* face, int32_t h, bool b, bool i, int32_t cs,
                  int32_t d) override {
        return note("loadFont " + std::to_string(f) + " [" + face + "] " + std::to_string(h) + " " +
                    std::to_string(b) + " " + std::to_string(i) + " " + std::to_string(cs) + " " +
                    std::to_string(d));
    }
    bool loadSpriteFont(int32_t f, const char* path, int32_t le, int32_t fo, int32_t eo, int32_t cf,
                        int32_t fr, int32_t fg, int32_t fb, int32_t ce, int32_t er, int32_t eg,
                        int32_t eb) override {
        return note("loadSpriteFont " + join({f}) + " [" + path + "] " +
                    join({le, fo, eo, cf, fr, fg, fb, ce, er, eg, eb}));
    }
    bool initLayer_tga(int32_t l, const char* path) override {
        return note("initLayer_tga " + std::to_string(l) + " [" + path + "]");
    }
    bool initLayer_tgaSequence(int32_t l, const char* prefix, int32_t a, int32_t b) override {
        return note("initLayer_tgaSequence " + std::to_string(l) + " [" + prefix + "] " +
                    join({a, b}));
    }
    bool initLayer_text(int32_t l, int32_t w, int32_t h, int32_t f, const char* t, int32_t lm,
                        int32_t cm, int32_t lh) override {
        return note("initLayer_text " + join({l, w, h, f}) + " [" + t + "] " + join({lm, cm, lh}));
    }
    bool setLayerCursor(int32_t l, int32_t cx, int32_t cy, int32_t ax, int32_t ay, int32_t g,
                        int32_t k, int32_t m, int32_t v) override {
        return note("setLayerCursor " + join({l, cx, cy, ax, ay, g, k, m, v}));
    }
    bool setupScroller(int32_t l, int32_t d, int32_t s, int32_t e, int32_t lp,
                       int32_t sp) override {
        return note("setupScroller " + join({l, d, s, e, lp, sp}));
    }
    bool addFontEffect(int32_t f, int32_t k, const FontEffectValues& v) override {
        return note("addFontEffect " +
                    join({f, k, v.red, v.green, v.blue, v.opacity, v.angle, v.distance, v.mode}));
    }
    bool drawText(int32_t l, int32_t x, int32_t y, int32_t f, Utf16Text t, uint32_t colour,
                  bool wrap, int32_t spacing) override {
        text = t.units();
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", colour);
        return note("drawText " + join({l, x, y, f}) + " " + hex + " " + std::to_string(wrap) +
                    " " + std::to_string(spacing));
    }
    bool tt_getTextSize(int32_t f, Utf16Text t, int32_t& w, int32_t& h) override {
        text = t.units();
        w = width;
        h = height;
        return note("tt_getTextSize " + std::to_string(f));
    }
    bool tt_lastTextSize(int32_t, int32_t& w, int32_t& h) override {
        w = width;
        h = height;
        return note("tt_lastTextSize");
    }
    bool sf_lastTextSize(int32_t, int32_t& w, int32_t& h) override {
        w = width;
        h = height;
        return note("sf_lastTextSize");
    }
    bool getLayerImageSize(int32_t, int32_t& w, int32_t& h) override {
        w = width;
        h = height;
        return note("getLayerImageSize");
    }
    bool tt_lastTextLines(int32_t, int32_t& lines) override {
        lines = number;
        return note("tt_lastTextLines");
    }
    bool scrollerIsPlaying(int32_t, bool& playing) override {
        playing = number != 0;
        return note("scrollerIsPlaying");
    }
    int32_t reserveFontNumber() override {
        note("reserveFontNumber");
        return number;
    }
    int32_t createLayerSet() override {
        note("createLayerSet");
        return number;
    }
    int32_t createLayer(int32_t set) override {
        note("createLayer " + std::to_string(set));
        return number;
    }
    bool releaseAllLayerSets() override { return note("releaseAllLayerSets"); }

protected:
    bool notAvailable(const char* operation) override { return note(operation); }

private:
    bool note(const std::string& call) {
        calls.push_back(call);
        return answer;
    }
    static std::string join(std::initializer_list<int32_t> values) {
        std::string s;
        for (int32_t v : values) {
            if (!s.empty())
                s += ' ';
            s += std::to_string(v);
        }
        return s;
    }
};

class CommandTableTest : public ::testing::Test {
protected:
    FakeHandlers handlers;
    test::RecordingLog log;
    std::string result;

    // Dispatches one line; `result` receives the result text or "<none>".
    bool run(const std::string& line) {
        handlers.calls.clear();
        log.clear();
        Command command(line.c_str(), line.size());
        const bool ok = dispatchCommand(handlers, log, command);
        result = command.result() ? command.result()->text() : "<none>";
        return ok;
    }
    std::string lastCall() const { return handlers.calls.empty() ? "" : handlers.calls.back(); }
};

} // namespace

TEST_F(CommandTableTest, StringFieldsRunToTheNextTab) {
    EXPECT_TRUE(run("63 5 titles\\big logo.tga"));
    EXPECT_EQ(lastCall(), "initLayer_tga 5 [titles\\big logo.tga]");
    run("63 5 logo.tga\r");
    EXPECT_EQ(lastCall(), "initLayer_tga 5 [logo.tga\r]");
    run("64 5 clips\\run_\t0 24");
    EXPECT_EQ(lastCall(), "initLayer_tgaSequence 5 [clips\\run_] 0 24");
    // Without the tab the string swallows the frame numbers, which are then missing.
    EXPECT_FALSE(run("64 5 clips\\run_ 0 24"));
    EXPECT_TRUE(handlers.calls.empty());
    EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR : Missing arguments for command 64."});
    run("65 1 720 100 3 Hello, world\t1 2 40");
    EXPECT_EQ(lastCall(), "initLayer_text 1 720 100 3 [Hello, world] 1 2 40");
}

TEST_F(CommandTableTest, LongStringsAreCutTo511Characters) {
    const std::string path(600, 'p');
    run("64 2 " + path + "\t3 4");
    EXPECT_EQ(lastCall(), "initLayer_tgaSequence 2 [" + path.substr(0, 511) + "] 3 4");
}

TEST_F(CommandTableTest, FontFormatTakesHexadecimalAndTheFlagRule) {
    run("4 3 Arial\t0x20 1 0 0 0");
    EXPECT_EQ(lastCall(), "loadFont 3 [Arial] 32 1 0 0 0");
    run("4 3 Times New Roman\t-24 2 1 010 1");
    EXPECT_EQ(lastCall(), "loadFont 3 [Times New Roman] -24 0 1 8 1");
    run("58 2 fonts\\big.tga\t1 255 128 1 10 20 30 2 40 50 60");
    EXPECT_EQ(lastCall(), "loadSpriteFont 2 [fonts\\big.tga] 1 255 128 1 10 20 30 2 40 50 60");
}

TEST_F(CommandTableTest, ArgumentOrderOfTheWiderRows) {
    run("69 1 10 20 2 1 98 99 1 3 4 5");
    EXPECT_EQ(lastCall(), "setLayerCursor 1 10 20 2 1 1 3 4 5");
    run("79 4 1 0 1 2 3");
    EXPECT_EQ(lastCall(), "setupScroller 4 1 0 1 2 3");
    run("79 4 1 0 1 2 3 77");
    EXPECT_EQ(lastCall(), "setupScroller 4 1 0 1 2 3");
    run("103 5 1 10 20 30 200 45 3 2");
    EXPECT_EQ(lastCall(), "addFontEffect 5 1 10 20 30 200 45 3 2");
}

TEST_F(CommandTableTest, MissingFieldsAreRefusedBeforeTheOperation) {
    for (const char* line : {"61", "61 ", "66 1 2", "69 1 10 20 2 1 98 99 1 3 4", "79 4 1 0 1 2",
                             "63 5", "63 5 \r", "104 1 2 3 4 5 6 7 8 9", "105 x", "121"}) {
        EXPECT_FALSE(run(line)) << line;
        EXPECT_TRUE(handlers.calls.empty()) << line;
        ASSERT_EQ(log.lines().size(), 1u) << line;
        EXPECT_EQ(log.lines()[0], "ERROR : Missing arguments for command " +
                                      std::to_string(Command(line, 0).number()) + ".")
            << line;
    }
}

TEST_F(CommandTableTest, TrueTypeTextStartsAfterTheTenthBlank) {
    // Arguments, then "Hi" as UTF-16 with the least significant byte first.
    const std::string hi("H\0i\0", 4);
    EXPECT_TRUE(run("104 1 10 20 0 255 128 64 200 1 0 " + hi));
    EXPECT_EQ(lastCall(), "drawText 1 10 20 0 C84080FF 1 0");
    EXPECT_EQ(handlers.text, u"Hi");
    // One blank more early on moves the text one field back: it starts at "0 ".
    run("104 1  10 20 0 255 128 64 200 1 0 " + hi);
    EXPECT_EQ(handlers.text, u"\x2030Hi");
    // Colour values contribute their low eight bits; wrap is on only for 1.
    run("104 1 0 0 0 511 -1 256 1000 2 -5 " + hi);
    EXPECT_EQ(lastCall(), "drawText 1 0 0 0 E800FFFF 0 -5");
    // Blanks inside the text are kept; a zero code unit ends it; an empty text is allowed.
    run("104 1 0 0 0 0 0 0 0 0 0 " + std::string("a\0 \0b\0\0\0c\0", 10));
    EXPECT_EQ(handlers.text, u"a b");
    EXPECT_TRUE(run("104 1 0 0 0 0 0 0 0 0 0"));
    EXPECT_EQ(handlers.text, u"");
}

TEST_F(CommandTableTest, TextSizeQueryStartsAfterTheFirstBlank) {
    const std::string ab("A\0B\0", 4);
    EXPECT_TRUE(run("107 2 " + ab));
    EXPECT_EQ(lastCall(), "tt_getTextSize 2");
    EXPECT_EQ(handlers.text, u"AB");
    EXPECT_EQ(result, "720 576");
    run("107 2  " + ab);
    EXPECT_EQ(handlers.text, u"\x4120\x4200");
    // No blank among the first ten characters: the text begins at position 11.
    run("107 0000000002XY" + ab);
    EXPECT_EQ(handlers.text, u"\x4159\x4200");
}

TEST_F(CommandTableTest, ResultsAreFormattedFromWhatTheOperationReports) {
    handlers.width = 19;
    handlers.height = -3;
    for (const char* line : {"105 1", "106 1", "124 3"}) {
        EXPECT_TRUE(run(line));
        EXPECT_EQ(result, "19 -3") << line;
    }
    handlers.number = 12;
    EXPECT_TRUE(run("108 1"));
    EXPECT_EQ(result, "12");
    EXPECT_TRUE(run("111"));
    EXPECT_EQ(result, "12");
    EXPECT_TRUE(run("116 extra text is ignored"));
    EXPECT_EQ(result, "12");
    EXPECT_TRUE(run("121 0"));
    EXPECT_EQ(result, "12");
    EXPECT_EQ(lastCall(), "createLayer 0");
    EXPECT_TRUE(run("115 7"));
    EXPECT_EQ(result, "1");
    handlers.number = 0;
    EXPECT_TRUE(run("115 7"));
    EXPECT_EQ(result, "0");
    EXPECT_TRUE(run("116"));
    EXPECT_EQ(result, "0");
}

TEST_F(CommandTableTest, FailuresCarryNoResult) {
    handlers.answer = false;
    for (const char* line : {"105 1", "106 1", "107 1 x", "108 1", "115 1", "124 1"}) {
        EXPECT_FALSE(run(line)) << line;
        EXPECT_EQ(result, "<none>") << line;
    }
    handlers.number = -1;
    for (const char* line : {"111", "116", "121 0"}) {
        EXPECT_FALSE(run(line)) << line;
        EXPECT_EQ(result, "<none>") << line;
    }
}

TEST_F(CommandTableTest, ReservedUnknownAndSpecialNumbers) {
    for (int n : {71, 72, 73, 74, 87, 99, 100, 101}) {
        EXPECT_FALSE(run(std::to_string(n) + " 1 2 3"));
        EXPECT_TRUE(log.lines().empty()) << n;
        EXPECT_TRUE(handlers.calls.empty()) << n;
    }
    for (int n : {1, 3, 5, 57, 60, 77, 109, 110, 113, 125, 999, -1}) {
        EXPECT_FALSE(run(std::to_string(n) + " 1"));
        EXPECT_EQ(log.lines(),
                  std::vector<std::string>{"Unsupported command (" + std::to_string(n) + ")"});
    }
    EXPECT_TRUE(run("120"));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Releasing all layer sets."});
    EXPECT_EQ(lastCall(), "releaseAllLayerSets");
}

TEST_F(CommandTableTest, EveryTableNumberReachesOneOperation) {
    const std::vector<std::pair<int, const char*>> rows = {
        {59, "clearFramebuffer"},
        {61, "resetLayer"},
        {62, "initLayer_size"},
        {66, "setLayerPosition"},
        {67, "setLayerSize"},
        {68, "setLayerImageOffset"},
        {70, "setLayerCursor_coordinates"},
        {75, "showLayer"},
        {76, "hideLayer"},
        {78, "setLayerBlending"},
        {80, "scrollerPlay"},
        {81, "scrollerPlay_n"},
        {82, "scrollerStop"},
        {83, "scrollerRewind"},
        {84, "copyLayer"},
        {85, "copyLayerRegion"},
        {86, "cropLayerImage"},
        {88, "fadeLayer"},
        {89, "crossFadeLayers"},
        {90, "toggleLayers"},
        {91, "clearLayer"},
        {92, "clearAllLayers"},
        {93, "drawText"},
        {94, "scrollerPlayPair"},
        {95, "initLayer_text_fit"},
        {96, "sequencePlay"},
        {97, "sequencePlayRange"},
        {98, "setSequenceFrame"},
        {102, "cropLayerImage"},
        {112, "releaseFontNumber"},
        {114, "releaseAllFontNumbers"},
        {117, "releaseLayerSet"},
        {118, "layerSetSendBackward"},
        {119, "layerSetBringForward"},
        {122, "setLayerSetPosition"},
        {123, "scrollerPlayEx_n"},
    };
    for (auto [number, operation] : rows) {
        const std::string line = std::to_string(number) + " 1 2 3 4 5 6 7 8\t9 10 11 12 13";
        EXPECT_TRUE(run(line)) << line;
        EXPECT_EQ(lastCall(), operation) << line;
    }
}
