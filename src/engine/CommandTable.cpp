#include "engine/CommandTable.h"

#include "engine/CommandHandlers.h"
#include "engine/LogSink.h"
#include "net/Command.h"

#include <cstdio>
#include <cstring>

namespace kavelin {

namespace {

// The string field of a format is scanned as "%n%*[^\t]%n": the two positions mark where it
// begins and ends in the argument text, so a string longer than the buffer can be cut
// without losing the fields behind it.
#define STR "%n%*[^\t]%n"

constexpr int kMaxValues = 16;
constexpr int kStringCapacity = 511;

// What one scan of the argument text produced.
struct Fields {
    int v[kMaxValues];
    int converted = 0;
    char text[kStringCapacity + 1] = {};
};

// One row of the table. `stringAt` is the index in v of the string's start position
// (its end follows), or -1 when the format has no string.
struct Row {
    int number;
    const char* format;
    int required;
    int stringAt;
    bool (*call)(CommandHandlers&, Fields&, Command&);
};

bool isReserved(int number) {
    switch (number) {
    case 71:
    case 72:
    case 73:
    case 74:
    case 87:
    case 99:
    case 100:
    case 101:
        return true;
    default:
        return false;
    }
}

void setSizeResult(Command& command, int width, int height) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d %d", width, height);
    command.setResult(buffer);
}

void setNumberResult(Command& command, int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", value);
    command.setResult(buffer);
}

// Runs a query that reports a width and a height; the result is set only on success.
template <typename Query>
bool sizeQuery(Command& command, Query query) {
    int width = 0;
    int height = 0;
    if (!query(width, height))
        return false;
    setSizeResult(command, width, height);
    return true;
}

bool numberAnswer(int value, Command& command) {
    if (value == -1)
        return false;
    setNumberResult(command, value);
    return true;
}

// Bytes of the received line from `start` on, for the UTF-16 free text.
Utf16Text freeText(const Command& command, const char* start) {
    const char* end = command.line() + command.lineLength();
    if (start == nullptr || start >= end)
        return {};
    return {reinterpret_cast<const unsigned char*>(start), static_cast<size_t>(end - start)};
}

// 104: the text begins after the tenth white-space character, or after 256 characters.
const char* textAfterTenBlanks(const char* args) {
    int blanks = 0;
    for (int i = 0; i < 256; ++i) {
        if (args[i] == 0)
            return nullptr;
        if (Command::isWhiteSpace(static_cast<unsigned char>(args[i])) && ++blanks == 10)
            return args + i + 1;
    }
    return args + 256;
}

// 107: the text begins one character after the first white space among the first ten
// characters, else at position 11.
const char* textAfterFirstBlank(const char* args) {
    for (int i = 0; i < 10; ++i) {
        if (args[i] == 0)
            return nullptr;
        if (Command::isWhiteSpace(static_cast<unsigned char>(args[i])))
            return args + i + 1;
    }
    return args + 11;
}

uint32_t packColour(int red, int green, int blue, int opacity) {
    return (static_cast<uint32_t>(red) & 0xFF) | (static_cast<uint32_t>(green) & 0xFF) << 8 |
           (static_cast<uint32_t>(blue) & 0xFF) << 16 |
           (static_cast<uint32_t>(opacity) & 0xFF) << 24;
}

// clang-format off
const Row kRows[] = {
    {4, "%i " STR " %i %i %i %i %i", 6, 1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.loadFont(f.v[0], f.text, f.v[3], f.v[4] == 1, f.v[5] == 1, f.v[6], f.v[7]); }},
    {58, "%d " STR " %d %d %d %d %d %d %d %d %d %d %d", 12, 1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.loadSpriteFont(f.v[0], f.text, f.v[3], f.v[4], f.v[5], f.v[6], f.v[7], f.v[8],
                                f.v[9], f.v[10], f.v[11], f.v[12], f.v[13]); }},
    {59, nullptr, 0, -1, [](CommandHandlers& h, Fields&, Command&) { return h.clearFramebuffer(); }},
    {61, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.resetLayer(f.v[0]); }},
    {62, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.initLayer_size(f.v[0], f.v[1], f.v[2]); }},
    {63, "%d " STR, 1, 1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.initLayer_tga(f.v[0], f.text); }},
    {64, "%d " STR " %d %d", 3, 1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.initLayer_tgaSequence(f.v[0], f.text, f.v[3], f.v[4]); }},
    {65, "%d %d %d %d " STR " %d %d %d", 7, 4, [](CommandHandlers& h, Fields& f, Command&) {
        return h.initLayer_text(f.v[0], f.v[1], f.v[2], f.v[3], f.text, f.v[6], f.v[7], f.v[8]); }},
    {66, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setLayerPosition(f.v[0], f.v[1], f.v[2]); }},
    {67, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setLayerSize(f.v[0], f.v[1], f.v[2]); }},
    {68, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setLayerImageOffset(f.v[0], f.v[1], f.v[2]); }},
    {69, "%d %d %d %d %d %d %d %d %d %d %d", 11, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setLayerCursor(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[7], f.v[8], f.v[9],
                                f.v[10]); }},
    {70, "%d %d %d %d %d", 5, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setLayerCursor_coordinates(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4]); }},
    {75, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.showLayer(f.v[0]); }},
    {76, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.hideLayer(f.v[0]); }},
    {78, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setLayerBlending(f.v[0], f.v[1], f.v[2]); }},
    {79, "%d %d %d %d %d %d %d", 6, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setupScroller(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5]); }},
    {80, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.scrollerPlay(f.v[0]); }},
    {81, "%d %d", 2, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.scrollerPlay_n(f.v[0], f.v[1]); }},
    {82, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.scrollerStop(f.v[0]); }},
    {83, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.scrollerRewind(f.v[0]); }},
    {84, "%d %d", 2, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.copyLayer(f.v[0], f.v[1]); }},
    {85, "%d %d %d %d %d %d", 6, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.copyLayerRegion(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5]); }},
    {86, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.cropLayerImage(f.v[0]); }},
    {88, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.fadeLayer(f.v[0], f.v[1], f.v[2]); }},
    {89, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.crossFadeLayers(f.v[0], f.v[1], f.v[2]); }},
    {90, "%d %d", 2, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.toggleLayers(f.v[0], f.v[1]); }},
    {91, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) { return h.clearLayer(f.v[0]); }},
    {92, nullptr, 0, -1, [](CommandHandlers& h, Fields&, Command&) { return h.clearAllLayers(); }},
    {93, "%d %d %d %d " STR " %d %d %d", 7, 4, [](CommandHandlers& h, Fields& f, Command&) {
        return h.drawText(f.v[0], f.v[1], f.v[2], f.v[3], f.text, f.v[6], f.v[7], f.v[8]); }},
    {94, "%d %d", 2, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.scrollerPlayPair(f.v[0], f.v[1]); }},
    {95, "%d %d %d %d " STR " %d %d %d", 7, 4, [](CommandHandlers& h, Fields& f, Command&) {
        return h.initLayer_text_fit(f.v[0], f.v[1], f.v[2], f.v[3], f.text, f.v[6], f.v[7], f.v[8]); }},
    {96, "%d %d", 2, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.sequencePlay(f.v[0], f.v[1]); }},
    {97, "%d %d %d %d", 4, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.sequencePlayRange(f.v[0], f.v[1], f.v[2], f.v[3]); }},
    {98, "%d %d", 2, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setSequenceFrame(f.v[0], f.v[1]); }},
    {102, "%d %d %d %d %d", 5, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.cropLayerImage(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4]); }},
    {103, "%d %d %d %d %d %d %d %d %d", 9, -1, [](CommandHandlers& h, Fields& f, Command&) {
        const FontEffectValues values{f.v[2], f.v[3], f.v[4], f.v[5], f.v[6], f.v[7], f.v[8]};
        return h.addFontEffect(f.v[0], f.v[1], values); }},
    {104, "%d %d %d %d %d %d %d %d %d %d", 10, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        const Utf16Text text = freeText(c, textAfterTenBlanks(c.arguments()));
        return h.drawText(f.v[0], f.v[1], f.v[2], f.v[3], text,
                          packColour(f.v[4], f.v[5], f.v[6], f.v[7]), f.v[8] == 1, f.v[9]); }},
    {105, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        return sizeQuery(c, [&](int& w, int& hgt) { return h.tt_lastTextSize(f.v[0], w, hgt); }); }},
    {106, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        return sizeQuery(c, [&](int& w, int& hgt) { return h.sf_lastTextSize(f.v[0], w, hgt); }); }},
    {107, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        const Utf16Text text = freeText(c, textAfterFirstBlank(c.arguments()));
        return sizeQuery(c, [&](int& w, int& hgt) { return h.tt_getTextSize(f.v[0], text, w, hgt); }); }},
    {108, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        int lines = 0;
        if (!h.tt_lastTextLines(f.v[0], lines))
            return false;
        setNumberResult(c, lines);
        return true; }},
    {111, nullptr, 0, -1, [](CommandHandlers& h, Fields&, Command& c) {
        return numberAnswer(h.reserveFontNumber(), c); }},
    {112, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.releaseFontNumber(f.v[0]); }},
    {114, nullptr, 0, -1, [](CommandHandlers& h, Fields&, Command&) {
        return h.releaseAllFontNumbers(); }},
    {115, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        bool playing = false;
        if (!h.scrollerIsPlaying(f.v[0], playing))
            return false;
        setNumberResult(c, playing ? 1 : 0);
        return true; }},
    {116, nullptr, 0, -1, [](CommandHandlers& h, Fields&, Command& c) {
        return numberAnswer(h.createLayerSet(), c); }},
    {117, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.releaseLayerSet(f.v[0]); }},
    {118, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.layerSetSendBackward(f.v[0]); }},
    {119, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.layerSetBringForward(f.v[0]); }},
    {120, nullptr, 0, -1, [](CommandHandlers& h, Fields&, Command&) {
        return h.releaseAllLayerSets(); }},
    {121, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        return numberAnswer(h.createLayer(f.v[0]), c); }},
    {122, "%d %d %d", 3, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.setLayerSetPosition(f.v[0], f.v[1], f.v[2]); }},
    {123, "%d %d %d %d", 4, -1, [](CommandHandlers& h, Fields& f, Command&) {
        return h.scrollerPlayEx_n(f.v[0], f.v[1], f.v[2], f.v[3]); }},
    {124, "%d", 1, -1, [](CommandHandlers& h, Fields& f, Command& c) {
        return sizeQuery(c, [&](int& w, int& hgt) { return h.getLayerImageSize(f.v[0], w, hgt); }); }},
};
// clang-format on

#undef STR

const Row* findRow(int number) {
    for (const Row& row : kRows)
        if (row.number == number)
            return &row;
    return nullptr;
}

// Scans the argument text; false when a field the operation uses is missing.
bool scan(const Row& row, const char* args, Fields& f) {
    for (int& value : f.v)
        value = 0;
    if (row.format == nullptr)
        return true;
    const int unset = -1;
    if (row.stringAt >= 0)
        f.v[row.stringAt] = f.v[row.stringAt + 1] = unset;
    int* v = f.v;
    const int n = std::sscanf(args, row.format, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                              &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13], &v[14], &v[15]);
    f.converted = n < 0 ? 0 : n;
    if (row.stringAt >= 0) {
        const int begin = f.v[row.stringAt];
        const int end = f.v[row.stringAt + 1];
        if (begin == unset || end == unset)
            return false;
        int length = end - begin;
        if (length > kStringCapacity)
            length = kStringCapacity;
        std::memcpy(f.text, args + begin, static_cast<size_t>(length));
        f.text[length] = 0;
    }
    return f.converted >= row.required;
}

} // namespace

bool dispatchCommand(CommandHandlers& handlers, LogSink& log, Command& command) {
    const int number = command.number();
    if (isReserved(number))
        return false;
    const Row* row = findRow(number);
    if (row == nullptr) {
        log.log("Unsupported command (%d)", number);
        return false;
    }
    Fields fields;
    if (!scan(*row, command.arguments(), fields)) {
        log.log("ERROR : Missing arguments for command %d.", number);
        return false;
    }
    if (number == 120)
        log.log("Releasing all layer sets.");
    return row->call(handlers, fields, command);
}

} // namespace kavelin
