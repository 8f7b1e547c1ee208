#include "image/PixelDispatch.h"

#include <cstdlib>
#include <cstring>

namespace kavelin {

namespace {

constexpr SimdLevel kLevels[] = {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2,
                                 SimdLevel::Avx512};

} // namespace

// Defined in Pixel_avx2.cpp and Pixel_avx512.cpp; must not be reached on a processor without
// those instructions.
const PixelKernels& avx2KernelsUnchecked();
const PixelKernels& avx512KernelsUnchecked();

const PixelKernels* avx2Kernels() {
    // The check includes the operating system's support for the 256-bit registers.
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported ? &avx2KernelsUnchecked() : nullptr;
}

const PixelKernels* avx512Kernels() {
    // As above, for the 512-bit and mask registers. AVX2 too: the compiler may use it in that
    // file, and every level below the best must exist for KAVELIN_SIMD.
    static const bool supported = avx2Kernels() != nullptr && __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512bw") &&
                                  __builtin_cpu_supports("avx512vl");
    return supported ? &avx512KernelsUnchecked() : nullptr;
}

const PixelKernels* kernelsFor(SimdLevel level) {
    switch (level) {
    case SimdLevel::Scalar:
        return &scalarKernels();
    case SimdLevel::Sse2:
        return &sse2Kernels();
    case SimdLevel::Avx2:
        return avx2Kernels();
    case SimdLevel::Avx512:
        return avx512Kernels();
    }
    return nullptr;
}

SimdLevel bestSimdLevel() {
    if (avx512Kernels())
        return SimdLevel::Avx512;
    return avx2Kernels() ? SimdLevel::Avx2 : SimdLevel::Sse2;
}

KernelSets availableKernels() {
    KernelSets list{};
    for (SimdLevel level : kLevels)
        if (const PixelKernels* kernels = kernelsFor(level))
            list.sets[list.count++] = kernels;
    return list;
}

const char* simdLevelName(SimdLevel level) {
    switch (level) {
    case SimdLevel::Scalar:
        return "scalar";
    case SimdLevel::Sse2:
        return "sse2";
    case SimdLevel::Avx2:
        return "avx2";
    case SimdLevel::Avx512:
        return "avx512";
    }
    return "";
}

SimdLevel chooseSimdLevel(const char* requested, SimdLevel best) {
    if (requested == nullptr)
        return best;
    for (SimdLevel level : kLevels)
        if (level <= best && std::strcmp(requested, simdLevelName(level)) == 0)
            return level;
    return best;
}

SimdLevel activeSimdLevel() {
    static const SimdLevel level = chooseSimdLevel(std::getenv("KAVELIN_SIMD"), bestSimdLevel());
    return level;
}

const SimdChoice& simdChoice() {
    static const SimdChoice choice = [] {
        const char* requested = std::getenv("KAVELIN_SIMD");
        return SimdChoice{requested ? requested : "", kernelsFor(activeSimdLevel())};
    }();
    return choice;
}

const PixelKernels& activeKernels() {
    static const PixelKernels& chosen = *simdChoice().used;
    return chosen;
}

} // namespace kavelin
