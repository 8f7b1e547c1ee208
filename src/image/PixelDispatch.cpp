#include "image/PixelKernels.h"

namespace kavelin {

// Defined in Pixel_avx2.cpp; must not be reached on a processor without AVX2.
const PixelKernels& avx2KernelsUnchecked();

const PixelKernels* avx2Kernels() {
    // The check includes the operating system's support for the 256-bit registers.
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported ? &avx2KernelsUnchecked() : nullptr;
}

const PixelKernels& activeKernels() {
    static const PixelKernels& chosen = []() -> const PixelKernels& {
        if (const PixelKernels* avx2 = avx2Kernels())
            return *avx2;
        return sse2Kernels();
    }();
    return chosen;
}

} // namespace kavelin
