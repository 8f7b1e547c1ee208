#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYSTEM_H

namespace kavelin {

// The allocator FreeType is given: every block counts against the memory budget, and a block
// the budget or the system refuses is a null pointer, which FreeType reports as an error
// (a refusal and an allocation that fails are also told to the thread's MemoryWatch).
FT_Memory budgetedFreeTypeMemory();

} // namespace kavelin
