#pragma once

#include "base/MemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <new>
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
// would pass kMaxBytes the cache starts over, so huge scripts cannot grow it without end. What
// it stores counts against the memory budget; when the budget (or the memory) has no room even
// after starting over, the glyph is handed out uncached. A glyph handed out stays valid until
// the next insert.
class GlyphCache {
public:
    static constexpr size_t kMaxBytes = size_t{32} << 20;
    // A stored glyph's share of the map's own memory.
    static constexpr size_t kEntryBytes = sizeof(GlyphBitmap) + 32;

    const GlyphBitmap* find(uint32_t id) const {
        const auto it = glyphs_.find(id);
        return it == glyphs_.end() ? nullptr : &it->second;
    }
    const GlyphBitmap& insert(uint32_t id, GlyphBitmap glyph) {
        const size_t bytes = glyph.coverage.size() + kEntryBytes;
        if (bytes_ + bytes > kMaxBytes)
            clear();
        if (!share_.grow(bytes, true)) {
            clear();
            if (!share_.grow(bytes, true))
                return uncached(std::move(glyph));
        }
        try {
            // Buckets first: a failure then comes before the glyph is moved into the map.
            glyphs_.reserve(glyphs_.size() + 1);
            const GlyphBitmap& stored =
                glyphs_.insert_or_assign(id, std::move(glyph)).first->second;
            bytes_ += bytes;
            return stored;
        } catch (const std::bad_alloc&) {
            clear();
            return uncached(std::move(glyph));
        }
    }
    void clear() {
        glyphs_.clear();
        bytes_ = 0;
        share_.reset();
    }
    size_t size() const { return glyphs_.size(); }

private:
    const GlyphBitmap& uncached(GlyphBitmap glyph) {
        uncached_ = std::move(glyph);
        return uncached_;
    }

    std::unordered_map<uint32_t, GlyphBitmap> glyphs_;
    size_t bytes_ = 0;
    BudgetShare share_; // bytes_ and nothing else
    GlyphBitmap uncached_;
};

} // namespace kavelin
