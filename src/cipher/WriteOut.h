// SPDX-License-Identifier: MIT
#pragma once
// The one loop that writes a buffer to a descriptor whatever the descriptor does meanwhile.

#include <cstddef>
#include <cstdint>

// Writes all n bytes to fd: retries an interrupted write, goes on after a short one, and waits
// with poll while a non-blocking descriptor cannot take more. Returns 0 when every byte went
// out, else the errno value that stopped it; written (when given) receives how many did.
[[nodiscard]] int WriteOut(int fd, const uint8_t* data, std::size_t n,
                           std::size_t* written = nullptr);
