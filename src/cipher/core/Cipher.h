// SPDX-License-Identifier: MIT
#pragma once
// The keyed byte generator: an RC4-like key schedule and output step whose walking index is
// moved by a feed byte from the caller, so the stream depends on the data as well as the key.
// Files written with it cannot be read by a standard RC4, which is why it is written out here.

#include "cipher/core/SecretBytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

constexpr std::size_t MaxKeyLength = 255;

struct TCipherState {
    std::array<uint8_t, 256> KeyTable;
    std::array<uint8_t, 256> Perm;
    uint8_t IndexI;
    uint8_t IndexJ;
    uint8_t OutIndex;
};

// Flags for the numbers 1..256: PrimeTable[n] is true when n is prime. Index 0 is unused.
extern std::array<bool, 257> PrimeTable;

// The key is a length-prefixed byte string: key[0] = L (1..255), then L key bytes.
void ExpandKey(TCipherState& state, std::span<const uint8_t> key);
void CipherInit(TCipherState& state, std::span<const uint8_t> key);

// One step of the generator. Kept inline: the file transform runs it once per byte.
inline uint8_t CipherNext(TCipherState& state, uint8_t feed) {
    state.IndexI = static_cast<uint8_t>(state.IndexI + feed);
    state.IndexJ = static_cast<uint8_t>(state.IndexJ + state.Perm[state.IndexI]);
    const uint8_t a = state.Perm[state.IndexJ];
    const uint8_t b = state.Perm[state.IndexI];
    state.Perm[state.IndexI] = a;
    state.Perm[state.IndexJ] = b;
    state.OutIndex = static_cast<uint8_t>(a + b);
    return state.Perm[state.OutIndex];
}

// Overwrites the whole state with 255s, through a write the compiler may not remove.
void CipherWipe(TCipherState& state);

void SwapBytes(uint8_t& a, uint8_t& b);
[[nodiscard]] bool IsPrime(uint8_t b);
[[nodiscard]] uint8_t ByteGcd(uint8_t a, uint8_t b);
void BuildPrimeTable();

// Builds the length-prefixed key from key bytes: the first 255 bytes are used (key[0] is the
// length, 256 bytes in all). Raises Exception for an empty key: the generator has no meaning
// without one.
[[nodiscard]] TSecretBytes MakeCipherKey(std::span<const uint8_t> keyBytes);
