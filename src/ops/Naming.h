// SPDX-License-Identifier: MIT
#pragma once
// How the commands name their outputs. Kept apart from the operations so that the rules can
// be fuzzed on their own.

#include <string>
#include <string_view>

inline constexpr const char* EncryptedSuffix = ".ash";
inline constexpr const char* SelfExtractingSuffix = ".exe";

// The encrypted file lies beside its source and keeps the source's whole name, extension
// included: "report.doc" gives "report.doc.ash", or "report.doc.exe" when it is to be a
// self-extracting program.
[[nodiscard]] std::string EncryptTargetName(std::string_view sourceFile, bool selfExtracting);

// The name the decrypt command gives its output: the source's file name cut before the first
// occurrence of its own extension (so x.ash.y.ash gives x, and a name without an extension, or
// one that starts with it, gives an empty name). It carries no folder.
[[nodiscard]] std::string DecryptTargetName(std::string_view sourceFile);
