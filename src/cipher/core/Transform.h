// SPDX-License-Identifier: MIT
#pragma once
// The file transform's state and hot loops, apart from any file: the Windows self-extracting
// module (built with MinGW, without the POSIX file code) runs the same loops as the programs.

#include "cipher/core/Cipher.h"
#include "cipher/core/SecretBytes.h"

#include <cstddef>
#include <cstdint>
#include <span>

constexpr uint8_t InitialFeed = 144;
constexpr uint8_t InitialChain = 15;

// The running state of one file's transform: the generator, the feed byte (always the plain
// byte just processed) and the chain byte (always the encrypted byte just processed).
// The state is key material: it is overwritten when it goes, however the run ends.
struct TTransformState {
    TCipherState Cipher;
    uint8_t Feed = InitialFeed;
    uint8_t Chain = InitialChain;
    // Decryption's working copy of the permutation, kept here rather than on the stack of the
    // loop, so that it is wiped with the state even when a fault leaves the loop by a jump.
    TSecretBytes Scratch;

    TTransformState() = default;
    TTransformState(const TTransformState&) = delete;
    TTransformState& operator=(const TTransformState&) = delete;
    ~TTransformState() { CipherWipe(Cipher); }
};

// Sets the generator up from the key bytes (first 255 used) and the feed and chain bytes to
// their starting values. Raises Exception for an empty key.
void TransformInit(TTransformState& state, std::span<const uint8_t> keyBytes);

// The hot loops: transform n bytes from in to out (in may equal out).
void EncryptBuffer(TTransformState& state, const uint8_t* in, uint8_t* out, std::size_t n);
void DecryptBuffer(TTransformState& state, const uint8_t* in, uint8_t* out, std::size_t n);
