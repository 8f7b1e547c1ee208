#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kavelin {

// 8-bit coverage of one glyph; left and top place it relative to the pen on the baseline
// (top counts upwards).
struct GlyphBitmap {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> coverage; // width * height, rows top to bottom
};

// Rasterised glyphs of one face at one size, by glyph id. Bounded: when the stored coverage
// would pass kMaxBytes the cache starts over, so huge scripts cannot grow it without end.
class GlyphCache {
public:
    static constexpr size_t kMaxBytes = size_t{32} << 20;

    const GlyphBitmap* find(uint32_t id) const {
        const auto it = glyphs_.find(id);
        return it == glyphs_.end() ? nullptr : &it->second;
    }
    const GlyphBitmap& insert(uint32_t id, GlyphBitmap glyph) {
        const size_t bytes = glyph.coverage.size() + sizeof(GlyphBitmap);
        if (bytes_ + bytes > kMaxBytes)
            clear();
        bytes_ += bytes;
        return glyphs_.insert_or_assign(id, std::move(glyph)).first->second;
    }
    void clear() {
        glyphs_.clear();
        bytes_ = 0;
    }
    size_t size() const { return glyphs_.size(); }

private:
    std::unordered_map<uint32_t, GlyphBitmap> glyphs_;
    size_t bytes_ = 0;
};

} // namespace kavelin
