// SPDX-License-Identifier: MIT
#pragma once
// Splitting paths into folder, name and extension the way the program's commands name their
// outputs and find a skin's pictures. Paths are byte strings: nothing here decodes them.

#include <string>
#include <string_view>

// The directory part of a path, up to and including its last separator; empty without one.
[[nodiscard]] std::string ExtractFilePath(std::string_view path);
// The file-name part: what follows the last separator.
[[nodiscard]] std::string ExtractFileName(std::string_view path);
// The extension of the file-name part, from its last "." on; empty without a dot.
[[nodiscard]] std::string ExtractFileExt(std::string_view path);

// Skins are shared between systems, and many use "\" between folders; on Linux it is "/".
[[nodiscard]] std::string NativeSeparators(std::string_view path);
