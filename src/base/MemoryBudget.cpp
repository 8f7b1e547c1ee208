#include "base/MemoryBudget.h"

#include <cstdio>
#include <unistd.h>

namespace kavelin {

namespace {

thread_local MemoryWatch* currentWatch = nullptr;

} // namespace

uint64_t MemoryBudget::defaultLimit() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return uint64_t{1} << 30;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2;
}

MemoryBudget& MemoryBudget::process() {
    static MemoryBudget budget(defaultLimit());
    return budget;
}

bool MemoryBudget::take(uint64_t bytes, bool quiet) {
    const uint64_t limit = this->limit();
    uint64_t used = used_.load(std::memory_order_relaxed);
    do {
        if (bytes > limit || used > limit - bytes) {
            if (!quiet && currentWatch != nullptr && !currentWatch->overBudget_) {
                currentWatch->overBudget_ = true;
                currentWatch->onOverBudget(limit);
            }
            return false;
        }
    } while (!used_.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
    return true;
}

MemoryWatch::MemoryWatch() : outer_(currentWatch) {
    currentWatch = this;
}

MemoryWatch::~MemoryWatch() {
    currentWatch = outer_;
}

void reportOutOfMemory() {
    MemoryWatch* watch = currentWatch;
    if (watch == nullptr || watch->outOfMemory_)
        return;
    watch->outOfMemory_ = true;
    watch->onOutOfMemory();
}

std::optional<uint64_t> parseMemorySize(std::string_view text) {
    uint64_t value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (i == 0)
        return std::nullopt;
    int shift = 0;
    if (i + 1 == text.size()) {
        switch (text[i]) {
        case 'K':
        case 'k':
            shift = 10;
            break;
        case 'M':
        case 'm':
            shift = 20;
            break;
        case 'G':
        case 'g':
            shift = 30;
            break;
        case 'T':
        case 't':
            shift = 40;
            break;
        default:
            return std::nullopt;
        }
    } else if (i != text.size()) {
        return std::nullopt;
    }
    if (value == 0 || value > (UINT64_MAX >> shift))
        return std::nullopt;
    return value << shift;
}

std::string formatMemorySize(uint64_t bytes) {
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024)
        return std::to_string(bytes) + " bytes";
    int unit = 0;
    while (unit + 1 < 6 && bytes >> (10 * (unit + 2)) != 0)
        ++unit;
    const int shift = 10 * (unit + 1);
    char text[32];
    if ((bytes & ((uint64_t{1} << shift) - 1)) == 0)
        std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(bytes >> shift),
                      units[unit]);
    else
        std::snprintf(text, sizeof text, "%.1f %s",
                      static_cast<double>(bytes) / static_cast<double>(uint64_t{1} << shift),
                      units[unit]);
    return text;
}

} // namespace kavelin
