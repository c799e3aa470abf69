// SPDX-License-Identifier: MIT
#pragma once
// The key of calyxor-cli. It is never an argument (the process list shows arguments to every
// user): it is typed at the terminal with echo off, or read from a file or a descriptor.

#include "cipher/core/SecretBytes.h"
#include "cli/CliOptions.h"

#include <optional>

#include <sys/types.h>

// The file a key was read from, so that a run never takes it for one of its files.
struct TFileId {
    dev_t Device = 0;
    ino_t Inode = 0;
};

// The key's bytes, as the window makes them from the same text. From --key-file or --key-fd
// when given, else asked for on the terminal (twice when confirm is set: a mistyped key would
// make an encrypted file nobody can open). Raises TStartError when there is no key to be had,
// when it is empty, when the two typed keys differ, or when the text cannot be a key.
// keyFile, when given, receives the regular file the key was read from (--key-file, or the
// file behind --key-fd or a redirected standard input); nothing for a terminal or a pipe.
[[nodiscard]] TSecretBytes ReadCliKey(const TCliOptions& options, bool confirm,
                                      std::optional<TFileId>* keyFile = nullptr);

// How often a key typed on the terminal is asked for before the run gives up: two entries
// that differ, or a key whose result looks wrong, ask again.
inline constexpr int KeyAttempts = 3;

// True when the key is to be typed on the terminal (no --key-file, no --key-fd).
[[nodiscard]] bool CliKeyIsTyped(const TCliOptions& options);

// Asks for the key on the terminal (twice when confirm is set, up to KeyAttempts times while
// the two entries differ). A short key typed for encryption is warned of, and accepted; an
// empty first entry for encryption takes a generated passphrase, which is shown.
[[nodiscard]] TSecretBytes AskCliKey(bool confirm);
