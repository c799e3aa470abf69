// SPDX-License-Identifier: MIT
#pragma once
// The key of calyxor-cli. It is never an argument (the process list shows arguments to every
// user): it is typed at the terminal with echo off, or read from a file or a descriptor.

#include "cipher/core/SecretBytes.h"
#include "cli/CliOptions.h"

// The key's bytes, as the window makes them from the same text. From --key-file or --key-fd
// when given, else asked for on the terminal (twice when confirm is set: a mistyped key would
// make an encrypted file nobody can open). Raises TStartError when there is no key to be had,
// when it is empty, when the two typed keys differ, or when the text cannot be a key.
[[nodiscard]] TSecretBytes ReadCliKey(const TCliOptions& options, bool confirm);
