// SPDX-License-Identifier: MIT
#pragma once
// Keys are text, and their bytes are the text's CP1251 encoding: a key typed in Cyrillic
// gives the same bytes on every system that makes or opens these files, so files stay portable.

#include "cipher/core/SecretBytes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The Unicode code point of each CP1251 byte 0x80..0xFF; 0 where the code page has a hole.
extern const char32_t Cp1251High[128];

// Encodes UTF-8 text to CP1251. Raises Exception, naming the character, when the text is not
// valid UTF-8 or holds a character CP1251 cannot represent: a key must never be changed
// silently, or the file could not be decrypted with the key the user remembers.
[[nodiscard]] std::vector<uint8_t> EncodeCp1251(std::string_view utf8);

// The key's bytes: the same encoding, held where they are wiped after use.
[[nodiscard]] TSecretBytes EncodeKeyCp1251(std::string_view utf8);

// Decodes CP1251 bytes to UTF-8 (holes become U+FFFD).
[[nodiscard]] std::string DecodeCp1251(std::string_view bytes);
