// SPDX-License-Identifier: MIT
#include "controls/FadeBlend.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// Shared by every control of the process and used by nothing else.
uint32_t gFadeRandState = 0;

} // namespace

void FadeRandSeed(uint32_t seed) {
    gFadeRandState = seed;
}

uint32_t FadeRandom(uint32_t n) {
    gFadeRandState = gFadeRandState * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(n) * gFadeRandState) >> 32);
}

void BlendPixels(const uint8_t* start, const uint8_t* target, uint8_t* output, int W, int H,
                 int w) {
    // At w = 0 the output already is the start image.
    if (w <= 0 || W <= 0 || H <= 0)
        return;
    w = std::min(w, 32);
    // Two colour channels share each multiplication: with a + b = 32 no product of a byte
    // spills into its neighbour, and the division by 32 is a shift.
    const uint32_t a = 32u - static_cast<uint32_t>(w);
    const uint32_t b = static_cast<uint32_t>(w);
    const size_t words = static_cast<size_t>(PaddedRowBytes(W)) * static_cast<size_t>(H) / 4;
    for (size_t i = 0; i < words; ++i) {
        uint32_t x;
        uint32_t y;
        std::memcpy(&x, start + i * 4, 4);
        std::memcpy(&y, target + i * 4, 4);
        const uint32_t hi =
            (((x & 0xFF00FF00u) >> 5) * a + ((y & 0xFF00FF00u) >> 5) * b) & 0xFF00FF00u;
        const uint32_t lo = (((x & 0x00FF00FFu) * a + (y & 0x00FF00FFu) * b) >> 5) & 0x00FF00FFu;
        const uint32_t out = hi | lo;
        std::memcpy(output + i * 4, &out, 4);
    }
}
