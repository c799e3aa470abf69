// SPDX-License-Identifier: MIT
#pragma once
// Whether the first bytes of a decryption look like a file or like what a wrong key gives.
// The encrypted format holds no key check, so this is the only way to tell before anything is
// written: noise without the header of a kind whose body is noise is a wrong key. It errs on
// the side of silence: too few bytes, or a name that says the content is itself noise, and it
// cannot tell.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

enum class TKeyVerdict {
    LooksRight, // the bytes have the structure or the header of a file
    LooksWrong, // noise, as from a wrong key (or a file that is itself random)
    CannotTell, // too few bytes, or a name that announces headerless noise
};

// How many of a decryption's first bytes are looked at.
inline constexpr std::size_t JudgedPrefix = 64 * 1024;

// Fewer bytes than this and nothing is said, whatever the name.
inline constexpr std::size_t MinNamedBytes = 16;

// A second opinion on kinds, for noise that the built-in table does not recognise: the
// programs that can afford a full database of kinds (libmagic) give one; the self-extracting
// modules do without. Its answer: the kind whose body is noise that the bytes begin with, or
// "" when it knows none.
class TKindOracle {
public:
    virtual ~TKindOracle() = default;
    [[nodiscard]] virtual std::string NoisyKind(std::span<const uint8_t> bytes) const = 0;
};

// Judges up to JudgedPrefix bytes from the start of a decryption whose result is to be named
// fileName (only its name is used).
[[nodiscard]] TKeyVerdict JudgeDecrypted(std::span<const uint8_t> first, std::string_view fileName,
                                         const TKindOracle* oracle = nullptr);
