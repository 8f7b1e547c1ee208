#pragma once

#include <cstdint>

namespace kavelin {

// The row kernels behind the blend routines, one set per instruction set. Every set gives the
// same bytes as the scalar one; the fastest set the processor supports is chosen once.
struct PixelKernels {
    const char* name;
    // Four-pixel form with the transparent-destination rule; single form for the tail.
    void (*blendRow)(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity);
    // Four-pixel form without that rule; single form for the tail.
    void (*blendImageRow)(uint8_t* dst, const uint8_t* src, int32_t count, int32_t opacity);
    // Single-form compositing with the source alpha, result alpha capped.
    void (*blendCappedRow)(uint8_t* dst, const uint8_t* src, int32_t count, uint8_t cap);
    // blendRow at opacity 255 for a source whose every alpha is 255: the same bytes without
    // any division.
    void (*blendOpaqueRow)(uint8_t* dst, const uint8_t* src, int32_t count);
};

const PixelKernels& scalarKernels();
const PixelKernels& sse2Kernels();
// None when the processor lacks AVX2 (or the operating system does not save its registers).
const PixelKernels* avx2Kernels();
// None when the processor lacks AVX-512 F, BW or VL or AVX2 (or the registers are not saved).
const PixelKernels* avx512Kernels();

// Every set this processor runs, scalar first. Plain pointers: this header is also compiled
// with wider instruction sets, which must not instantiate library code shared with the rest.
struct KernelSets {
    const PixelKernels* sets[4];
    int count;
    const PixelKernels* const* begin() const { return sets; }
    const PixelKernels* const* end() const { return sets + count; }
};
KernelSets availableKernels();

// The set used by the pixel routines, chosen at the first call.
const PixelKernels& activeKernels();

} // namespace kavelin
