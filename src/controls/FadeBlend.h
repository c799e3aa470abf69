// SPDX-License-Identifier: MIT
#pragma once
// The pixel arithmetic of the fade control's two transitions, free of any widget: the blend of
// two images and the generator that orders the dissolve's pixels.

#include <cstdint>

// Mixes two images of W by H pixels, 3 bytes a pixel, rows padded to a multiple of 4 bytes:
// every output byte becomes (start * (32 - w) + target * w) div 32, w from 0 to 32. The
// blocks are walked as whole 32-bit words, row padding included; w = 0 writes nothing.
void BlendPixels(const uint8_t* start, const uint8_t* target, uint8_t* output, int W, int H, int w);

// Bytes in one padded row of W 3-byte pixels.
[[nodiscard]] constexpr int PaddedRowBytes(int W) {
    return (3 * W + 3) & ~3;
}

// The process-wide generator of the dissolve's pixel order: state = state * 134775813 + 1
// (mod 2^32), random(n) = upper 32 bits of n * state.
void FadeRandSeed(uint32_t seed);
[[nodiscard]] uint32_t FadeRandom(uint32_t n);
