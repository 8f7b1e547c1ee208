#include "text/FontMatch.h"

#include "base/MemoryBudget.h"
#include "text/FontConfigCall.h"
#include "text/FontSystem.h"

#include <memory>

namespace kavelin {

namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

} // namespace

const char* selectorLanguage(int32_t selector) {
    switch (selector) {
    case 1:
        return "ar";
    case 2:
        return "he";
    case 3:
        return "th";
    case 4:
        return "el";
    case 5:
        return "tr";
    case 6:
        return "vi";
    case 7:
    case 8:
        return "ko";
    case 9:
        return "ru";
    case 10:
        return "zh-tw";
    default:
        return nullptr;
    }
}

bool matchFace(const char* faceName, bool bold, bool italic, int32_t selector, MatchedFace& out) {
    FcConfig* config = fontConfig();
    if (config == nullptr || faceName == nullptr)
        return false;
    // Every fontconfig call below, and the patterns' destruction, inside the call's reserve.
    FontConfigCall call;
    if (!call.allowed()) {
        reportOutOfMemory();
        return false;
    }
    PatternPtr pattern(FcPatternCreate());
    if (!pattern)
        return false;
    if (faceName[0] != 0)
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    if (const char* lang = selectorLanguage(selector))
        FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>(lang));
    if (!FcConfigSubstitute(config, pattern.get(), FcMatchPattern))
        return false;
    FcDefaultSubstitute(pattern.get());

    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(config, pattern.get(), &result));
    if (!match)
        return false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
        return false;
    int index = 0;
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match.get(), FC_SLANT, 0, &slant);

    out.file = reinterpret_cast<const char*>(file);
    out.index = index;
    out.synthesiseBold = bold && weight < FC_WEIGHT_DEMIBOLD;
    out.synthesiseItalic = italic && slant == FC_SLANT_ROMAN;
    return true;
}

} // namespace kavelin
