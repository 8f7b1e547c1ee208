#include "text/FontSystem.h"

#include <cstdio>

namespace kavelin {

namespace {

int users = 0; // initFontSystem calls not yet matched by a shutdown
int faces = 0; // open faces that still need FreeType
FT_Library library = nullptr;
FcConfig* config = nullptr;

// FreeType goes only when nobody initialised it and no face is left that uses it.
void releaseIfUnused() {
    if (users == 0 && faces == 0 && library != nullptr) {
        FT_Done_FreeType(library);
        library = nullptr;
    }
}

} // namespace

bool initFontSystem() {
    if (users > 0) {
        ++users;
        return true;
    }
    if (library == nullptr && FT_Init_FreeType(&library) != 0) {
        library = nullptr;
        std::printf("ERROR1!\n");
        std::fflush(stdout);
        return false;
    }
    config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        std::printf("ERROR2!\n");
        std::fflush(stdout);
        releaseIfUnused();
        return false;
    }
    users = 1;
    return true;
}

void shutdownFontSystem() {
    if (users == 0 || --users > 0)
        return;
    FcConfigDestroy(config);
    config = nullptr;
    releaseIfUnused();
}

FT_Library fontLibrary() {
    return users > 0 ? library : nullptr;
}

FcConfig* fontConfig() {
    return config;
}

FT_Library retainFontLibrary() {
    if (users == 0 || library == nullptr)
        return nullptr;
    ++faces;
    return library;
}

void releaseFontLibrary() {
    if (faces > 0)
        --faces;
    releaseIfUnused();
}

} // namespace kavelin
