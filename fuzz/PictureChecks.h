// SPDX-License-Identifier: MIT
#pragma once
// What must hold for any bytes given to the picture loaders: the load ends, within the
// bounds of time and memory, either with a picture inside the size bounds that draws, or
// with the loaders' own error and the holder unchanged. Empty when all is well.

#include <cstddef>
#include <cstdint>
#include <string>

[[nodiscard]] std::string CheckPicture(const uint8_t* data, std::size_t size,
                                       const char* extension);
