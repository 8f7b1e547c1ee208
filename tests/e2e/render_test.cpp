// Runs `kavelin render` on scripts: the golden scene, whose frames, replies and log were captured
// before the engine's rework, a crawl in the larger formats byte for byte, and what a script line
// does.
#include "support/ChildProcess.h"
#include "support/FifoReader.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include "image/PixelDispatch.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kavelin::test;

namespace {

struct RenderRun {
    int exitCode = -1;
    std::string replies, log, raw;

    // Frame `index` of a width x height format, as 0xAARRGGBB values, top row first.
    std::vector<uint32_t> frame(size_t index, int width, int height) const {
        std::vector<uint32_t> out(size_t(width) * size_t(height));
        if (raw.size() >= (index + 1) * out.size() * 4)
            std::memcpy(out.data(), raw.data() + index * out.size() * 4, out.size() * 4);
        return out;
    }
};

// `script` is a file name, or the text of a script when `isText` (written to the temp folder,
// with "$T/" standing for that folder). `environment` is put before the program's name.
RenderRun renderScript(const TempDir& temp, const std::string& script,
                       const std::string& options = "", bool isText = true,
                       const std::string& environment = "") {
    std::string scriptFile = script;
    if (isText) {
        std::string text = script;
        for (size_t at; (at = text.find("$T/")) != std::string::npos;)
            text.replace(at, 3, temp.file(""));
        scriptFile = temp.file("script.txt");
        std::ofstream(scriptFile, std::ios::binary) << text;
    }
    const std::string raw = temp.file("frames.raw"), log = temp.file("log.txt");
    std::filesystem::remove(raw);
    const ProgramResult result = runProgram(
        std::string("cd '") + KAVELIN_SOURCE_DIR + "' && " + environment + " '" + KAVELIN_BINARY +
        "' render --raw '" + raw + "' " + options + " '" + scriptFile + "' 2>'" + log + "'");
    return {result.exitCode, result.out, readFile(log), readFile(raw)};
}

} // namespace

// The golden scene's frames, replies and log as the program renders by default, and the same
// with every instruction level's kernels and other numbers of composing threads. A level this
// processor lacks, or an unknown word, is said and the best level is used.
TEST(RenderTest, GoldenSceneIsUnchangedAtEveryInstructionLevelAndThreadCount) {
    TempDir temp;
    const std::string golden = std::string(KAVELIN_SOURCE_DIR) + "/tests/e2e/golden/";
    for (const auto& [level, options] : {std::pair(kavelin::bestSimdLevel(), ""),
                                         std::pair(kavelin::SimdLevel::Scalar, "--threads 1"),
                                         std::pair(kavelin::SimdLevel::Sse2, "--threads 2"),
                                         std::pair(kavelin::SimdLevel::Avx2, "--threads 3")}) {
        if (kavelin::kernelsFor(level) == nullptr)
            continue; // a level this processor lacks would be said on standard error
        const std::string environment =
            *options == 0 ? "" : std::string("KAVELIN_SIMD=") + kavelin::simdLevelName(level);
        const RenderRun run =
            renderScript(temp, "tests/e2e/golden/scene.txt", options, false, environment);
        EXPECT_EQ(run.exitCode, 0) << environment;
        EXPECT_EQ(fnv1a(run.raw), 0xaf47678f73cdb22eu) << environment << " " << options;
        EXPECT_EQ(run.replies, readFile(golden + "scene.replies")) << environment;
        EXPECT_EQ(run.log, readFile(golden + "scene.log")) << environment;
    }
    const RenderRun unknown = renderScript(temp, "@wait 1\n", "", true, "KAVELIN_SIMD=neon");
    EXPECT_EQ(unknown.exitCode, 0);
    EXPECT_NE(unknown.log.find("kavelin: KAVELIN_SIMD=neon is not a level this processor runs"),
              std::string::npos)
        << unknown.log;
}

TEST(RenderTest, CrawlMovesOneStepPerFieldOrPerFrame) {
    TempDir temp;
    // Column c of the picture is coloured (c % 256, c / 256, 0x55): a row shows its offset.
    constexpr int kWidth = 400, kSpeed = 3;
    std::vector<uint32_t> crawl(kWidth * 4);
    for (size_t i = 0; i < crawl.size(); ++i)
        crawl[i] = 0xFF000055u | uint32_t(i % kWidth) % 256 << 16 | uint32_t(i % kWidth) / 256 << 8;
    ASSERT_TRUE(writeTga(temp.file("crawl.tga"), kWidth, 4, crawl));
    // A 200 x 4 window at (100, 200) on the picture, moving left by kSpeed a step.
    const std::string script = "116\n121 0\n63 0 $T/crawl.tga\n66 0 100 200\n67 0 200 4\n"
                               "78 0 0 255\n79 0 0 0 2 1 3 0\n80 0\n75 0\n@wait 3\n";
    for (auto [format, fields] : {std::pair{"1080i50", 2}, {"1080p50", 1}}) {
        const RenderRun run = renderScript(temp, script, std::string("--format ") + format);
        ASSERT_EQ(run.raw.size(), 3u * 1920 * 1080 * 4) << format;
        for (int f = 0; f < 3; ++f) {
            const std::vector<uint32_t> frame = run.frame(size_t(f), 1920, 1080);
            for (int y = 198; y < 206; ++y) {
                // Field 0 (even rows) is the earlier one; each step moves kSpeed pixels.
                const int step = f * fields + (fields == 2 ? y % 2 : 0) + 1;
                for (int x = 96; x < 304; ++x) {
                    const bool inside = y >= 200 && y < 204 && x >= 100 && x < 300;
                    const uint32_t want =
                        inside ? crawl[size_t(x - 100 + step * kSpeed)] : 0xFF000000u;
                    ASSERT_EQ(frame[size_t(y * 1920 + x)], want)
                        << format << " frame " << f << " (" << x << ", " << y << ")";
                }
            }
        }
    }
}

TEST(RenderTest, ScriptLinesAndWaits) {
    TempDir temp;
    const std::string overlong = "0" + std::string(1023, 'x');
    struct Case {
        std::string script;
        int exitCode;
        std::string replies, log;
        size_t frames;
    } const cases[] = {
        // Empty lines and comments are skipped; any other line is a command with one reply.
        {"116\n\n# 121 0\nhello\n72\n1003\n116", 0, "OK 0\nOK\nERROR\nERROR\nOK 1\n",
         "(OfflineOutput) Unsupported command (1003)\n", 0},
        {"@wait\n@wait 0\n@wait \t2 \r\n@wait 1000000x\n", 2, "",
         "kavelin: line 4: expected @wait N\n", 3},
        {"@wait 1000001\n", 2, "", "kavelin: line 1: expected @wait N\n", 0},
        {"116\n" + overlong + "\n116\n", 0, "OK 0\nOK 1\n",
         "kavelin: line 2 is longer than 1023 bytes; a server would drop the connection, it is "
         "skipped\n",
         0},
        {overlong.substr(0, 1023) + "\n", 0, "OK\n", "", 0},
    };
    for (const Case& c : cases) {
        const RenderRun run = renderScript(temp, c.script, "--format 8x4@25");
        EXPECT_EQ(run.exitCode, c.exitCode) << c.script;
        EXPECT_EQ(run.replies, c.replies) << c.script;
        EXPECT_EQ(run.log, c.log) << c.script;
        EXPECT_EQ(run.raw.size(), c.frames * 8 * 4 * 4) << c.script;
    }
}

TEST(RenderTest, FramesGoToPngFilesAndUnwritableOutputsEndTheRun) {
    TempDir temp;
    std::filesystem::create_directory(temp.file("png"));
    EXPECT_EQ(renderScript(temp, "@wait 2\n", "--png " + temp.file("png")).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(temp.file("png/frame00001.png")));
    EXPECT_FALSE(std::filesystem::exists(temp.file("png/frame00002.png")));
    RenderRun run = renderScript(temp, "116\n@wait 1\n116\n", "--png " + temp.file("none"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.replies, "OK 0\n");
    EXPECT_EQ(run.log, "kavelin: cannot write " + temp.file("none/frame00000.png") + "\n");
    run = renderScript(temp, "116\n", "--raw " + temp.file("none/frames.raw"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.log, "kavelin: cannot write " + temp.file("none/frames.raw") + "\n");
    run = renderScript(temp, temp.file("missing.txt"), "", false);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.log, "kavelin: cannot read " + temp.file("missing.txt") + "\n");
}

// The key: a fully opaque layer at opacity 255 composes to alpha 254; `--key clean` sends 255
// there and changes no colour byte.
TEST(RenderTest, CleanKeyMakesSolidGraphicsFullyOpaqueAndLeavesTheRest) {
    TempDir temp;
    std::vector<uint32_t> picture(4 * 2, 0xFF3366CCu);
    picture[7] = 0x80FFFFFFu;
    ASSERT_TRUE(writeTga(temp.file("p.tga"), 4, 2, picture));
    const std::string script = "116\n121 0\n63 0 $T/p.tga\n75 0\n@wait 1\n";
    const std::vector<uint32_t> composed = renderScript(temp, script).frame(0, 720, 576);
    const RenderRun cleanRun = renderScript(temp, script, "--key clean");
    EXPECT_EQ(cleanRun.exitCode, 0);
    const std::vector<uint32_t> clean = cleanRun.frame(0, 720, 576);
    ASSERT_EQ(composed[0] >> 24, 254u);
    for (size_t i = 0; i < composed.size(); ++i) {
        const uint32_t alpha = composed[i] >> 24;
        const uint32_t want = alpha >= 254 ? composed[i] | 0xFF000000u : composed[i];
        ASSERT_EQ(clean[i], want) << i;
    }
}
