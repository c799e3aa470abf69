// SPDX-License-Identifier: MIT
#pragma once
// The bound on a key line, alone in a header so that the Windows module, whose console code is
// its own, reads its lines against the same bound.

#include <cstddef>

// Only the first 255 key bytes count, but a line is read whole so that its end is found; the
// bound keeps a stray binary file on standard input from being read into memory. A longer line
// is refused rather than cut.
inline constexpr std::size_t MaxKeyLine = 64 * 1024;
