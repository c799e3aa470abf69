// SPDX-License-Identifier: MIT
#pragma once
// RC4 as every textbook writes it, byte indices and all: the yardstick the transform's speed is
// told against, in memory (TransformBench.cpp) and over whole files (Yardstick.cpp).

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

class TRc4 {
public:
    explicit TRc4(std::span<const uint8_t> key) {
        for (int k = 0; k < 256; ++k)
            S[k] = static_cast<uint8_t>(k);
        uint8_t j = 0;
        for (int k = 0; k < 256; ++k) {
            j = static_cast<uint8_t>(j + S[k] + key[static_cast<std::size_t>(k) % key.size()]);
            std::swap(S[k], S[j]);
        }
    }

    // Goes on where the previous call stopped, so that a file may be done block by block.
    void Run(const uint8_t* in, uint8_t* out, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) {
            I = static_cast<uint8_t>(I + 1);
            J = static_cast<uint8_t>(J + S[I]);
            std::swap(S[I], S[J]);
            out[k] = in[k] ^ S[static_cast<uint8_t>(S[I] + S[J])];
        }
    }

private:
    uint8_t S[256];
    uint8_t I = 0;
    uint8_t J = 0;
};
