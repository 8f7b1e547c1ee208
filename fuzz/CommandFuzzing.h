#pragma once

// Command lines from arbitrary bytes, for the command fuzzers (fuzz/commands.cpp) and the test
// that replays what they found (tests/commands/fuzz_regression_test.cpp).
//
// An input is split on '\n'; each piece is one command line. Its first byte picks the command
// from the family's numbers and a few neighbours (byte % count), the rest is the argument text
// as a client would send it after the number and a space: a seed line for a command starts with
// the byte of its index in the family's list (index 10, a line feed, plus the list's length).
// Every input starts from the same small scene with a fresh executor; after each line one frame
// is composed (progressive, then each field in turn), so the animations and the frame path see
// what the line did. An input stops early when its pictures or the heap pass a budget, so that
// no input holds gigabytes by right.
//
// Paths stay in one folder made at start-up: a path or prefix field gets the folder put in
// front of it and its slashes turned into '_'. The folder holds good, odd and broken TGA files
// and sprite fonts, but no FIFO or device: reading one can block, and a fuzzer stops at the
// first input that hangs. TrueType fonts are the installed faces, chosen by name.

#include "app/SpriteFontMaker.h"
#include "commands/CommandExecutor.h"
#include "commands/CommandTable.h"
#include "engine/Compositor.h"
#include "engine/LogSink.h"
#include "engine/SharedScene.h"
#include "image/TgaWriter.h"
#include "support/TempDir.h"
#include "text/FontSystem.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelin::fuzz {

struct CommandFamily {
    const char* name; // also the name of its corpus folder and the prefix of its found inputs
    // The family's own commands, then neighbours that change the scene under them; a number
    // listed twice comes up twice as often.
    std::vector<int32_t> numbers;
    bool spriteFonts = false;   // the set-up loads sprite fonts 0 and 1
    bool trueTypeFonts = false; // and TrueType fonts 0 and 1
};

inline const std::vector<CommandFamily>& commandFamilies() {
    static const std::vector<CommandFamily> families = {
        {"layer_sets", {116, 117, 118, 119, 120, 121, 122, 116, 121, 61, 62, 66, 75}},
        {"layer_content", {59,  61, 62, 63, 64, 84, 85, 86, 91, 92,  102,
                           124, 63, 64, 84, 85, 67, 68, 69, 98, 117, 121}},
        {"layer_geometry", {66, 67, 68, 69, 70, 75, 76, 78, 90, 62, 63, 86, 102, 117, 121}},
        {"animation",
         {79, 80, 81, 82, 83, 88, 89, 94, 96, 97, 98, 115, 123, 61, 64, 67, 68, 75, 76, 117}},
        {"sprite_font", {58, 65, 93, 95, 106, 58, 65, 93, 95, 61, 62, 69, 124}, true},
        {"truetype", {4, 103, 104, 105, 107, 108, 4, 103, 104, 62, 69, 124}, false, true},
        {"font_numbers", {111, 112, 114, 111, 112, 58, 4, 106, 105}, true, true},
    };
    return families;
}

inline const CommandFamily* findCommandFamily(std::string_view name) {
    for (const CommandFamily& family : commandFamilies())
        if (name == family.name)
            return &family;
    return nullptr;
}

class DiscardingLog : public LogSink {
public:
    void post(LogLine) override {}
};

// The folder the lines' paths lead into, filled on first use and kept for the process.
inline const std::string& fuzzFolder() {
    static const test::TempDir folder("kavelin-fuzz");
    static const std::string path = [] {
        const std::filesystem::path dir = folder.path();
        auto file = [&](const char* name) { return (dir / name).string(); };
        Image picture;
        if (picture.allocate(40, 20)) {
            for (int32_t i = 0; i < 40 * 20 * 4; ++i)
                picture.pixels()[i] = static_cast<uint8_t>(i * 7);
            writeTga(file("pic.tga").c_str(), picture);
            for (int frame = 0; frame < 4; ++frame) {
                char name[32];
                std::snprintf(name, sizeof name, "seq_%04d.tga", frame);
                writeTga(file(name).c_str(), picture);
            }
        }
        // A file cut short, one whose header claims more than it holds, an empty one, and a
        // folder with a picture's name.
        std::error_code ignored;
        std::filesystem::copy_file(file("pic.tga"), file("cut.tga"), ignored);
        std::filesystem::resize_file(file("cut.tga"), 18 + 40 * 4 * 3 + 5, ignored);
        if (std::FILE* f = std::fopen(file("big.tga").c_str(), "wb")) {
            const auto header = tgaHeader(2000, 2000, 24, false);
            std::fwrite(header.data(), 1, header.size(), f);
            std::fwrite("pixels", 1, 6, f);
            std::fclose(f);
        }
        if (std::FILE* f = std::fopen(file("empty.tga").c_str(), "wb"))
            std::fclose(f);
        std::filesystem::create_directory(file("dir.tga"), ignored);
        // Sprite fonts: glyph sheet, spacing file and effect sheet, as `kavelin mkfont` makes them.
        SpriteFontMakerOptions font;
        font.pixelSize = 10;
        font.effect = SpriteFontMakerOptions::Effect::Shadow;
        font.output = file("font.tga");
        std::string report, error;
        makeSpriteFont(font, report, error);
        font.face = "DejaVu Serif";
        font.pixelSize = 14;
        font.effect = SpriteFontMakerOptions::Effect::Outline;
        font.output = file("font2.tga");
        makeSpriteFont(font, report, error);
        std::filesystem::remove(file("font2.txt"), ignored); // one font without a spacing file
        return dir.string();
    }();
    return path;
}

// The command line a piece of input stands for (see the top of this file).
inline std::string commandLine(const CommandFamily& family, std::string_view piece) {
    const int32_t number = family.numbers[static_cast<uint8_t>(piece[0]) % family.numbers.size()];
    std::string line = std::to_string(number) + ' ';
    const size_t argumentsAt = line.size();
    line.append(piece.substr(1));
    const CommandRow* row = findCommandRow(number);
    const bool namesFile = row != nullptr && row->fields.size() > 1 &&
                           row->fields[0].type == FieldType::Int &&
                           row->fields[1].type == FieldType::Text &&
                           (std::string_view(row->fields[1].name) == "path" ||
                            std::string_view(row->fields[1].name) == "prefix");
    if (!namesFile)
        return line;
    // Where the scan of "%d %[^\t]" starts the text: behind white space (tabs too), a signed
    // number and more white space. A line without the number or the text fails anyway and
    // stays as it is.
    size_t at = argumentsAt;
    while (at < line.size() && Command::isWhiteSpace(static_cast<unsigned char>(line[at])))
        ++at;
    if (at < line.size() && (line[at] == '+' || line[at] == '-'))
        ++at;
    const size_t digits = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9')
        ++at;
    if (at == digits)
        return line;
    while (at < line.size() && Command::isWhiteSpace(static_cast<unsigned char>(line[at])))
        ++at;
    if (at >= line.size() || line[at] == '\0')
        return line;
    for (size_t i = at; i < line.size() && line[i] != '\t' && line[i] != '\0'; ++i)
        if (line[i] == '/')
            line[i] = '_';
    line.insert(at, fuzzFolder() + '/');
    return line;
}

// What one input did.
struct CommandRun {
    int32_t setupFailures = 0; // set-up lines not answered OK: the scene is not as meant
    int32_t lines = 0;         // lines of the input executed
    int32_t badReplies = 0;    // replies that are not "OK..." or "ERROR" on one line
};

namespace detail {

// An input stops when the pictures its layers show pass this many pixels, or (under a
// sanitizer, which counts them) when the heap holds more than this many bytes.
constexpr int64_t kScenePixelBudget = int64_t{32} << 20;
constexpr size_t kHeapBudget = size_t{512} << 20;

extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

inline bool overBudget(SharedScene& scene) {
    if (__sanitizer_get_current_allocated_bytes != nullptr &&
        __sanitizer_get_current_allocated_bytes() > kHeapBudget)
        return true;
    int64_t pixels = 0;
    scene.forCommand()->forEachLayer([&](const Layer& layer, const LayerSet&) {
        if (const Image* image = layer.image())
            pixels += int64_t{image->width()} * image->height();
    });
    return pixels > kScenePixelBudget;
}

inline bool wellFormed(const std::string& reply) {
    const bool ok = reply == "OK" || reply.rfind("OK ", 0) == 0;
    return (ok || reply == "ERROR") && reply.find('\n') == std::string::npos;
}

inline std::vector<std::string> setupLines(const CommandFamily& family) {
    const std::string dir = fuzzFolder() + '/';
    // Sets 0 and 1 with layers 0 to 3: a blank picture, a still, a sequence of four frames and
    // an empty layer.
    std::vector<std::string> lines = {
        "116",
        "116",
        "121 0",
        "121 0",
        "121 1",
        "121 1",
        "62 0 48 24",
        "63 1 " + dir + "pic.tga",
        "64 2 " + dir + "seq_\t0 3",
        "75 0",
        "75 1",
        "75 2",
        "66 1 20 10",
        "122 1 8 4",
        "69 0 4 4 0 0 0 0 1 0 0 0", // layer 0 grows to fit what is drawn into it
    };
    if (family.spriteFonts) {
        lines.push_back("58 0 " + dir + "font.tga\t1 255 200 0 0 0 0 0 0 0 0");
        lines.push_back("58 1 " + dir + "font2.tga\t1 255 255 1 200 40 40 1 0 0 90");
    }
    if (family.trueTypeFonts) {
        lines.push_back("4 0 DejaVu Sans\t-14 0 0 0 1");
        lines.push_back("4 1 DejaVu Serif\t20 1 1 0 1");
        lines.push_back("103 1 0 0 0 0 128 45 2 0");
    }
    return lines;
}

} // namespace detail

// Each line of an input (not of the set-up) with its reply.
using CommandObserver = std::function<void(const std::string& line, const std::string& reply)>;

// Runs one input against a fresh scene and executor.
inline CommandRun runCommandInput(const CommandFamily& family, const uint8_t* data, size_t size,
                                  const CommandObserver& observe = {}) {
    // The font system stays up between inputs, so that each executor does not load the
    // system's font configuration again.
    static const bool fontSystem = initFontSystem().ok();
    (void)fontSystem;

    CommandRun run;
    SharedScene scene;
    DiscardingLog log;
    NoOutputCommands outputs{log, "FuzzOutput"};
    auto made = CommandExecutor::create(scene, log, outputs);
    if (!made) {
        run.setupFailures = 1;
        return run;
    }
    CommandExecutor& executor = **made;
    for (const std::string& line : detail::setupLines(family))
        if (executor.execute(line.c_str(), line.size()).rfind("OK", 0) != 0)
            ++run.setupFailures;

    const std::unique_ptr<Compositor> compositor = Compositor::create(96, 64, {0, 0, 80, 255});
    const std::unique_ptr<FrameBuffer> frame = FrameBuffer::create(96, 64);
    DrawList drawn;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start < input.size();) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos)
            end = input.size();
        const std::string_view piece = input.substr(start, end - start);
        start = end + 1;
        if (piece.empty())
            continue;
        const std::string line = commandLine(family, piece);
        const std::string reply = executor.execute(line.c_str(), line.size());
        if (!detail::wellFormed(reply))
            ++run.badReplies;
        if (observe)
            observe(line, reply);
        ++run.lines;
        scene.forFrame([&](Scene& s) {
            s.advance();
            s.collect(drawn);
        });
        if (compositor && frame)
            compositor->compose(*frame, drawn, run.lines % 3 - 1);
        drawn.clear();
        if (detail::overBudget(scene))
            break;
    }
    return run;
}

} // namespace kavelin::fuzz
