#pragma once

#include "base/Result.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace kavelin {

// The process-wide font services every TrueTypeFont uses: FreeType for outlines and coverage,
// fontconfig for choosing a face by name. Calls nest: the services live from the first
// initFontSystem to the matching last shutdownFontSystem, so several renderers (tests, the
// offline renderer) can share them. The failure reasons are the system's diagnostics. Fonts are
// used by one command at a time; these calls themselves may come from any thread.
Status initFontSystem();
// Call only after every font made while the system was up has been destroyed.
void shutdownFontSystem();

// None while the system is down.
FT_Library fontLibrary();
// For an open face: FreeType stays until every retained library is released, so a face may
// outlive the shutdown of the font system. None while the system is down.
FT_Library retainFontLibrary();
void releaseFontLibrary();
FcConfig* fontConfig();

} // namespace kavelin
