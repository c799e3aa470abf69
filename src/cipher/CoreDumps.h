// SPDX-License-Identifier: MIT
#pragma once
// A process that holds a key must not write it to a core file, nor let another process of the
// same user read its memory (not dumpable also closes ptrace and /proc/PID/mem to them).

#include <sys/prctl.h>
#include <sys/resource.h>

inline void ForbidCoreDumps() {
    const rlimit none{0, 0};
    (void)::setrlimit(RLIMIT_CORE, &none);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}
