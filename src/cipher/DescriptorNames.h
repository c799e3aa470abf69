// SPDX-License-Identifier: MIT
#pragma once
// Names that stand for one of the process's own descriptors rather than for a file.

#include <string>

// The process's own descriptor a path stands for (/dev/stdin, /dev/stdout, /dev/stderr,
// /dev/fd/N, /proc/self/fd/N, /proc/<own pid>/fd/N), or -1.
[[nodiscard]] int DescriptorNamedBy(const std::string& path);
