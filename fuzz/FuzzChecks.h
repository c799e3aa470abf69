// SPDX-License-Identifier: MIT
#pragma once
// What must hold for any bytes given to the text parsers. Each check returns an empty string
// when all is well and a description of the first broken rule otherwise, so that the fuzzers
// can stop on it and the regression tests can show it.

#include <cstddef>
#include <cstdint>
#include <string>

// The settings reader: values come from "key=value" lines cut to 255 characters, and writing
// the values back and reading them again gives the same values.
[[nodiscard]] std::string CheckSettings(const uint8_t* data, std::size_t size);

// The skin loader's line handling, through the loader's own line reader: the marker line,
// sections, key=value splitting and number conversion. Numbers are checked against a second, plain
// reading of the same rules.
[[nodiscard]] std::string CheckSkin(const uint8_t* data, std::size_t size);

// The decrypt command's output name and the path helpers it is built from.
[[nodiscard]] std::string CheckDecryptName(const uint8_t* data, std::size_t size);
