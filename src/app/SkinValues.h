#pragma once
// Value and name rules of the skin files and of the decrypt command, kept apart from the
// window so they can be tested and fuzzed on their own.

#include <cstdint>
#include <string>
#include <string_view>

// A skin number: signed 32-bit decimal with an optional sign, or hexadecimal after "$", "x",
// "X", "0x" or "0X" (no sign then), after optional leading blanks, with nothing following.
// Raises EConvertError "'%s' is not a valid integer value".
[[nodiscard]] int32_t SkinStrToInt(std::string_view text);

// The directory part of a path, up to and including its last separator; empty without one.
[[nodiscard]] std::string ExtractFilePath(std::string_view path);
// The file-name part: what follows the last separator.
[[nodiscard]] std::string ExtractFileName(std::string_view path);
// The extension of the file-name part, from its last "." on; empty without a dot.
[[nodiscard]] std::string ExtractFileExt(std::string_view path);

// The name the decrypt command gives its output: the source's file name cut before the first
// occurrence of its own extension (so x.ash.y.ash gives x, and a name without an extension, or
// one that starts with it, gives an empty name).
[[nodiscard]] std::string DecryptTargetName(std::string_view sourceFile);

// Skins written on the program's home platform use "\" between folders; on Linux it is "/".
[[nodiscard]] std::string NativeSeparators(std::string_view path);
