// SPDX-License-Identifier: MIT
#include "cipher/core/Cipher.h"

#include "errors/Errors.h"

#include <algorithm>

std::array<bool, 257> PrimeTable{};

void ExpandKey(TCipherState& state, std::span<const uint8_t> key) {
    const unsigned len = key[0];
    for (unsigned n = 0; n < len; ++n)
        state.KeyTable[n] = key[1 + n];
    // Each derived entry uses the one just made, so this must run in ascending order.
    for (unsigned n = len; n < 256; ++n)
        state.KeyTable[n] = static_cast<uint8_t>(state.KeyTable[n - len] + state.KeyTable[n - 1]);
}

void CipherInit(TCipherState& state, std::span<const uint8_t> key) {
    ExpandKey(state, key);
    for (unsigned n = 0; n < 256; ++n)
        state.Perm[n] = static_cast<uint8_t>(n);
    const uint8_t len = key[0];
    uint8_t j = 0;
    for (unsigned n = 0; n < 256; ++n) {
        j = static_cast<uint8_t>((j + state.KeyTable[n] + state.Perm[n]) ^ len);
        SwapBytes(state.Perm[n], state.Perm[j]);
    }
    state.IndexI = 0;
    state.IndexJ = 0;
}

void SecureWipe(void* data, std::size_t size) {
    volatile uint8_t* p = static_cast<volatile uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i)
        p[i] = 0xFF;
}

void CipherWipe(TCipherState& state) {
    SecureWipe(&state, sizeof state);
}

void SwapBytes(uint8_t& a, uint8_t& b) {
    std::swap(a, b);
}

bool IsPrime(uint8_t b) {
    if (b < 2)
        return false;
    return PrimeTable[b];
}

uint8_t ByteGcd(uint8_t a, uint8_t b) {
    uint8_t x = std::max(a, b);
    uint8_t y = std::min(a, b);
    while (y != 0) {
        const uint8_t r = x % y;
        x = y;
        y = r;
    }
    return x;
}

void BuildPrimeTable() {
    PrimeTable[0] = false;
    PrimeTable[1] = false;
    for (unsigned n = 2; n <= 256; ++n)
        PrimeTable[n] = true;
    // 16 is the whole part of the square root of 256: every composite up to 256 has a factor
    // no larger, so the sieve may stop after the first prime above it.
    for (unsigned d = 1; d <= 256; ++d) {
        if (!PrimeTable[d])
            continue;
        for (unsigned m = 2 * d; m <= 256; m += d)
            PrimeTable[m] = false;
        if (d > 16)
            break;
    }
}

TSecretBytes MakeCipherKey(std::span<const uint8_t> keyBytes) {
    if (keyBytes.empty())
        throw Exception(Translated("Engine", "The key is empty: type a key first."));
    TSecretBytes key(MaxKeyLength + 1);
    const std::size_t len = std::min(keyBytes.size(), MaxKeyLength);
    key.data()[0] = static_cast<uint8_t>(len);
    std::copy_n(keyBytes.begin(), len, key.data() + 1);
    return key;
}
