// SPDX-License-Identifier: MIT
#pragma once
// The look at a decryption before it is written. The encrypted format has no key check, so a
// wrong key would decrypt into noise of the same length and every program would report
// success over it; the window and calyxor-cli ask this first and refuse, or ask the user, when
// the result would look like noise.

#include "judge/core/Judgement.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ops {

// Decrypts the first bytes of source in memory with key and judges whether they look like a
// file named target or like the noise a wrong key gives. Reads nothing but source, by
// position, and only when it is a regular file (a pipe or a device is left to the operation,
// which refuses it); writes nothing. CannotTell when source cannot be read: the operation then
// says why.
// payloadStart: where the encrypted bytes begin (behind a self-extracting file's module).
[[nodiscard]] TKeyVerdict JudgeDecryption(const std::string& source, const std::string& target,
                                          std::span<const uint8_t> key, uint64_t payloadStart = 0);

// Keys shorter than this are accepted with a warning: they are guessed in hours.
inline constexpr std::size_t ShortKeyLength = 8;

// True for a key (UTF-8) of fewer than ShortKeyLength characters.
[[nodiscard]] bool IsShortKey(std::string_view utf8);

} // namespace ops
