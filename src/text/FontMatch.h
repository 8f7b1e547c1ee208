#pragma once

#include <cstdint>
#include <string>

namespace kavelin {

// What a face name, weight and slant resolve to on this machine.
struct MatchedFace {
    std::string file;
    int32_t index = 0;
    bool synthesiseBold = false;   // bold asked for, the face found is not bold
    bool synthesiseItalic = false; // italic asked for, the face found is upright
    // A file named by path, which fontconfig has not looked at: the two flags above say what
    // is asked for, and the face's own style flags decide what is synthesised.
    bool styleFromFace = false;
};

// The language a character-set selector prefers (1 Arabic ... 10 Traditional Chinese), or
// none for 11 to 13 and every other value.
const char* selectorLanguage(int32_t selector);

// Asks fontconfig for the installed scalable face closest to the request. An unknown or empty
// face name yields the closest face rather than nothing; false only when fontconfig has no
// scalable face at all or the font system is down.
bool matchFace(const char* faceName, bool bold, bool italic, int32_t selector, MatchedFace& out);

} // namespace kavelin
