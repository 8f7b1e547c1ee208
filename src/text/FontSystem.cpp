#include "text/FontSystem.h"

#include "text/FontConfigCall.h"
#include "text/FreeTypeMemory.h"

#include <mutex>

#include FT_MODULE_H

namespace kavelin {

namespace {

std::mutex systemMutex; // guards the four values below
int users = 0;          // initFontSystem calls not yet matched by a shutdown
int faces = 0;          // open faces that still need FreeType
FT_Library library = nullptr;
FcConfig* config = nullptr;

// FreeType goes only when nobody initialised it and no face is left that uses it.
void releaseIfUnused() {
    if (users == 0 && faces == 0 && library != nullptr) {
        FT_Done_Library(library);
        library = nullptr;
    }
}

} // namespace

Status initFontSystem() {
    std::lock_guard lock(systemMutex);
    if (users > 0) {
        ++users;
        return done();
    }
    // FreeType as FT_Init_FreeType makes it, with an allocator that keeps to the budget.
    if (library == nullptr) {
        if (FT_New_Library(budgetedFreeTypeMemory(), &library) != 0) {
            library = nullptr;
            return failure("ERROR1!");
        }
        FT_Add_Default_Modules(library);
        FT_Set_Default_Properties(library);
    }
    {
        FontConfigCall call;
        config = call.allowed() ? FcInitLoadConfigAndFonts() : nullptr;
    }
    if (config == nullptr) {
        releaseIfUnused();
        return failure("ERROR2!");
    }
    users = 1;
    return done();
}

void shutdownFontSystem() {
    std::lock_guard lock(systemMutex);
    if (users == 0 || --users > 0)
        return;
    FcConfigDestroy(config);
    config = nullptr;
    releaseIfUnused();
}

FT_Library fontLibrary() {
    std::lock_guard lock(systemMutex);
    return users > 0 ? library : nullptr;
}

FcConfig* fontConfig() {
    std::lock_guard lock(systemMutex);
    return config;
}

FT_Library retainFontLibrary() {
    std::lock_guard lock(systemMutex);
    if (users == 0 || library == nullptr)
        return nullptr;
    ++faces;
    return library;
}

void releaseFontLibrary() {
    std::lock_guard lock(systemMutex);
    if (faces > 0)
        --faces;
    releaseIfUnused();
}

} // namespace kavelin
