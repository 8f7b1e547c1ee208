#include "text/DerivedName.h"

#include <cstring>

namespace kavelin {

bool deriveFileName(const char* path, const char* suffix, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0)
        return false;
    out[0] = '\0';
    if (path == nullptr || suffix == nullptr)
        return false;
    const size_t length = std::strlen(path);
    size_t keep = length;
    // Only a dot after the first byte counts: ".hidden" gets the suffix appended.
    for (size_t p = length; p > 1; --p) {
        if (path[p - 1] == '.') {
            keep = p - 1;
            break;
        }
    }
    const size_t suffixLength = std::strlen(suffix);
    if (keep + suffixLength >= outSize)
        return false;
    std::memcpy(out, path, keep);
    std::memcpy(out + keep, suffix, suffixLength + 1);
    return true;
}

} // namespace kavelin
