// SPDX-License-Identifier: MIT
#pragma once
// Kinds of file told by their first bytes, for the files whose body looks like noise with the
// right key: compressed data, archives, pictures, sound and video, and the containers of
// encryption tools. Each is recognised by a header that random bytes match by chance less than
// once in a million, or by a chain of structures (two MPEG frames that follow each other) that
// is as unlikely; weak two-byte marks such as zlib's are not enough on their own. The table is
// small on purpose: the self-extracting modules carry it instead of a full kind database.

#include <cstdint>
#include <span>
#include <string_view>

// The kind whose header starts bytes, or "" when none of the table's does.
[[nodiscard]] std::string_view KindOf(std::span<const uint8_t> bytes);

// The kind a file's name promises by its extension (case aside), or "" when the name promises
// none the table knows. "report.pdf" promises "pdf"; "notes.txt" nothing.
[[nodiscard]] std::string_view KindNamedBy(std::string_view fileName);

// True when the name says the content is itself noise without a header (a volume of an
// encryption tool, a file Calyxor encrypted), so that no judgement of it can be made.
[[nodiscard]] bool NameAnnouncesNoise(std::string_view fileName);
