// TrueType drawing (command 104): a 60-character Latin line at a cell height of 48 into a
// 720 x 100 layer, the first time (empty glyph cache) and repeated, beside (a) shaping and
// rasterising the same line with HarfBuzz and FreeType from scratch and (b) shaping it and
// copying glyphs from a small glyph cache kept here.
//
// Bounded effects: 490 'W' wrapped at a cell height of 1024 into a 1920 x 1080 layer with ten
// drop shadows, at line spacing 0 (every line on the layer) and 30 (most lines below it),
// beside the same text drawn with a font without effects.

#include "BenchSummary.h"
#include "NullLog.h"

#include "commands/CommandExecutor.h"
#include "engine/SharedScene.h"
#include "text/FontMatch.h"
#include "text/FontSystem.h"

#include <hb-ft.h>
#include <hb.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using namespace kavelin;

namespace {

constexpr char16_t kText[] = u"Breaking news from the city: the council meets again at nine";
static_assert(sizeof(kText) / sizeof(char16_t) - 1 == 60);
constexpr int kCell = 48;

std::string drawLine() {
    std::string line = "104 0 0 20 0 255 255 255 255 0 0 ";
    for (const char16_t* p = kText; *p != 0; ++p) {
        line.push_back(static_cast<char>(*p & 0xFF));
        line.push_back(static_cast<char>(*p >> 8));
    }
    return line;
}

// 490 'W' in UTF-16LE, wrapped, drawn into layer 1 with the given font and line spacing.
std::string wideTextLine(int font, int spacing) {
    std::string line =
        "104 1 0 0 " + std::to_string(font) + " 255 255 255 255 1 " + std::to_string(spacing) + " ";
    for (int i = 0; i < 490; ++i) {
        line.push_back('W');
        line.push_back('\0');
    }
    return line;
}

// Commands reach the text as a client's lines do: through the command executor.
struct Scene {
    bench::NullLog log;
    SharedScene shared;
    NoOutputCommands outputs{log, "BenchOutput"};
    std::unique_ptr<CommandExecutor> executor;
    std::string line = drawLine();

    Scene() {
        Result<std::unique_ptr<CommandExecutor>> made =
            CommandExecutor::create(shared, log, outputs);
        if (made)
            executor = std::move(*made);
        for (const char* setup : {"116", "121 0", "62 0 720 100"})
            run(setup);
        // Layer 1 and fonts 1 (ten drop shadows) and 2 (none) for the wide text.
        for (const char* setup : {"121 0", "62 1 1920 1080", "4 1 DejaVu Sans\t1024 0 0 11 1",
                                  "4 2 DejaVu Sans\t1024 0 0 11 1"})
            run(setup);
        for (int i = 0; i < 10; ++i)
            run("103 1 0 0 0 0 128 45 3 0");
    }
    bool run(const std::string& text) {
        return executor && executor->execute(text.c_str(), text.size()).rfind("OK", 0) == 0;
    }
    bool load() { return run("4 0 DejaVu Sans\t" + std::to_string(kCell) + " 0 0 11 1"); }
    bool draw() { return run(line); }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_DrawTextFirst(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        state.PauseTiming();
        s.load(); // a fresh font: nothing cached
        state.ResumeTiming();
        if (!s.draw())
            state.SkipWithError("drawText failed");
    }
}
BENCHMARK(BM_DrawTextFirst);

void BM_DrawTextRepeated(benchmark::State& state) {
    Scene& s = scene();
    s.load();
    s.draw();
    for (auto _ : state)
        if (!s.draw())
            state.SkipWithError("drawText failed");
}
BENCHMARK(BM_DrawTextRepeated);

// state.range(0): the font (1 with ten shadows, 2 without); state.range(1): the line spacing.
void BM_WideText(benchmark::State& state) {
    Scene& s = scene();
    const std::string line =
        wideTextLine(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state)
        if (!s.run(line))
            state.SkipWithError("drawText failed");
}
BENCHMARK(BM_WideText)
    ->ArgNames({"font", "spacing"})
    ->Args({1, 0})
    ->Args({1, 30})
    ->Args({2, 0})
    ->Args({2, 30})
    ->Unit(benchmark::kMillisecond);

// The reference face: the same file at the same em size as the font the command draws with.
struct Reference {
    FT_Face face = nullptr;
    hb_font_t* font = nullptr;
    std::vector<uint8_t> line;
    struct Glyph {
        int left, top, width, height;
        std::vector<uint8_t> coverage;
    };
    std::unordered_map<uint32_t, Glyph> cache;

    Reference() {
        (void)initFontSystem();
        MatchedFace match;
        matchFace("DejaVu Sans", false, false, 11, match);
        FT_New_Face(fontLibrary(), match.file.c_str(), match.index, &face);
        // Cell 48 of DejaVu Sans (ascent + descent 2384 units of 2048) is an em of about 41.
        FT_Set_Pixel_Sizes(face, 0, 41);
        font = hb_ft_font_create_referenced(face);
        line.assign(2000 * kCell, 0);
    }

    void shape(hb_buffer_t* buffer) {
        hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t*>(kText), 60, 0, 60);
        hb_buffer_guess_segment_properties(buffer);
        hb_shape(font, buffer, nullptr, 0);
    }
    void put(int penX, int left, int top, int w, int h, const uint8_t* src, int pitch) {
        for (int y = 0; y < h; ++y) {
            const int ly = 38 - top + y;
            if (ly < 0 || ly >= kCell)
                continue;
            for (int x = 0; x < w; ++x) {
                const int lx = penX + left + x;
                if (lx >= 0 && lx < 2000 && src[y * pitch + x] != 0)
                    line[static_cast<size_t>(ly * 2000 + lx)] = src[y * pitch + x];
            }
        }
    }
    // (a): shape, load and render every glyph, write its coverage into the line.
    void fromScratch() {
        hb_buffer_t* buffer = hb_buffer_create();
        shape(buffer);
        unsigned int n = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &n);
        const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &n);
        int pen = 0;
        for (unsigned int i = 0; i < n; ++i) {
            if (FT_Load_Glyph(face, info[i].codepoint, FT_LOAD_TARGET_LIGHT) == 0 &&
                FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
                const FT_Bitmap& bm = face->glyph->bitmap;
                put(pen, face->glyph->bitmap_left, face->glyph->bitmap_top,
                    static_cast<int>(bm.width), static_cast<int>(bm.rows), bm.buffer, bm.pitch);
            }
            pen += (pos[i].x_advance + 32) >> 6;
        }
        hb_buffer_destroy(buffer);
    }
    // (b): shape, then copy cached coverage.
    void cached() {
        hb_buffer_t* buffer = hb_buffer_create();
        shape(buffer);
        unsigned int n = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &n);
        const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &n);
        int pen = 0;
        for (unsigned int i = 0; i < n; ++i) {
            auto it = cache.find(info[i].codepoint);
            if (it == cache.end()) {
                Glyph g{};
                if (FT_Load_Glyph(face, info[i].codepoint, FT_LOAD_TARGET_LIGHT) == 0 &&
                    FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
                    const FT_Bitmap& bm = face->glyph->bitmap;
                    g = {face->glyph->bitmap_left,
                         face->glyph->bitmap_top,
                         static_cast<int>(bm.width),
                         static_cast<int>(bm.rows),
                         {}};
                    for (unsigned int r = 0; r < bm.rows; ++r)
                        g.coverage.insert(g.coverage.end(), bm.buffer + r * bm.pitch,
                                          bm.buffer + r * bm.pitch + bm.width);
                }
                it = cache.emplace(info[i].codepoint, std::move(g)).first;
            }
            const Glyph& g = it->second;
            put(pen, g.left, g.top, g.width, g.height, g.coverage.data(), g.width);
            pen += (pos[i].x_advance + 32) >> 6;
        }
        hb_buffer_destroy(buffer);
    }
};

Reference& reference() {
    static Reference r;
    return r;
}

void BM_ReferenceFromScratch(benchmark::State& state) {
    Reference& r = reference();
    for (auto _ : state) {
        r.fromScratch();
        benchmark::DoNotOptimize(r.line.data());
    }
}
BENCHMARK(BM_ReferenceFromScratch);

void BM_ReferenceCached(benchmark::State& state) {
    Reference& r = reference();
    r.cached();
    for (auto _ : state) {
        r.cached();
        benchmark::DoNotOptimize(r.line.data());
    }
}
BENCHMARK(BM_ReferenceCached);

void summary(const bench::CapturingReporter& rep) {
    const double first = rep.seconds("BM_DrawTextFirst");
    const double repeated = rep.seconds("BM_DrawTextRepeated");
    const double scratch = rep.seconds("BM_ReferenceFromScratch");
    const double cached = rep.seconds("BM_ReferenceCached");
    std::printf("drawText, first drawing:    %8.1f us   reference (a) from scratch: %8.1f us   "
                "ratio %.2f (target <= 1.5)\n",
                first * 1e6, scratch * 1e6, bench::ratio(first, scratch));
    std::printf("drawText, repeated drawing: %8.1f us   reference (b) glyph cache:  %8.1f us   "
                "ratio %.2f (target <= 1.5)\n",
                repeated * 1e6, cached * 1e6, bench::ratio(repeated, cached));
    for (int spacing : {0, 30}) {
        const std::string suffix = "/spacing:" + std::to_string(spacing);
        const double effects = rep.seconds("BM_WideText/font:1" + suffix);
        const double plain = rep.seconds("BM_WideText/font:2" + suffix);
        std::printf("490 W, ten shadows, spacing %2d: %8.1f ms   without effects: %8.1f ms   "
                    "(target < 1000 ms)\n",
                    spacing, effects * 1e3, plain * 1e3);
    }
}

} // namespace

int main(int argc, char** argv) {
    return bench::runAndSummarise(argc, argv, summary);
}
