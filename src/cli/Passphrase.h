// SPDX-License-Identifier: MIT
#pragma once
// genkey: passphrases of words drawn at random from the EFF's long list of 7,776 words, each
// worth about 12.9 bits, so that a user who has to remember a key gets a strong one.

#include <string>

// count words, one space between each, from the kernel's random source. Raises Exception when
// that cannot be read.
[[nodiscard]] std::string Passphrase(unsigned count);
