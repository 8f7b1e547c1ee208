#pragma once

// Which kernel set the pixel routines use: the processor's best, or a lower one asked for with
// KAVELIN_SIMD (to compare levels on air, or to rule one out).

#include "image/PixelKernels.h"

#include <string>

namespace kavelin {

// Instruction levels in increasing order; each level's processor also runs the ones below.
enum class SimdLevel { Scalar, Sse2, Avx2, Avx512 };

// The level's word for KAVELIN_SIMD, also its kernel set's name.
const char* simdLevelName(SimdLevel level);
// The set of a level, none when the processor cannot run it.
const PixelKernels* kernelsFor(SimdLevel level);
// The highest level this processor runs.
SimdLevel bestSimdLevel();

// The level for the text of KAVELIN_SIMD ("scalar", "sse2", "avx2", "avx512"; null or empty
// when unset) on a processor whose highest level is `best`. A level above `best` or an unknown
// word gives `best`: a wrong setting costs speed, never a crash.
SimdLevel chooseSimdLevel(const char* requested, SimdLevel best);

// What KAVELIN_SIMD asked for at start-up (empty when unset) and the set in use, for the
// program to log; read once, with the first pixel routine.
struct SimdChoice {
    std::string requested;
    const PixelKernels* used;
};
const SimdChoice& simdChoice();
// The level of that set, which other code of several levels follows too.
SimdLevel activeSimdLevel();

} // namespace kavelin
