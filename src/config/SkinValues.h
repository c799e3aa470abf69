// SPDX-License-Identifier: MIT
#pragma once
// The skin files' number rule and the loader's reading of a skin's lines, kept apart from the
// window so they can be tested and fuzzed on their own.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A skin number: signed 32-bit decimal with an optional sign, or hexadecimal after "$", "x",
// "X", "0x" or "0X" (no sign then), after optional leading blanks, with nothing following.
// Raises EConvertError "'%s' is not a valid integer value".
[[nodiscard]] int32_t SkinStrToInt(std::string_view text);

inline constexpr const char* SkinMarker = "<CALYXOR SKIN FILE>";

using TSkinSettingFn = std::function<void(const std::string& section, const std::string& key,
                                          const std::string& value)>;

// Reads a skin file's bytes line by line as the loader does. False, with nothing applied, when
// the first line is not the marker "<CALYXOR SKIN FILE>". Otherwise, for each later line: one
// that starts with "[" is the current section from then on (the whole line, upper-cased); one
// with a "=" is split at its first "=" into the upper-cased key and the value; apply receives
// every line whose value is not empty, with the section it stands in. What apply raises ends
// the reading.
[[nodiscard]] bool ReadSkinSettings(std::string_view bytes, const TSkinSettingFn& apply);
