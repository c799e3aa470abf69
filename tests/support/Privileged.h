// SPDX-License-Identifier: MIT
#pragma once
// Tests that need root, ptrace, user namespaces or a seccomp filter skip where the machine
// lacks them. CI runs as root, where every one of them must run: scripts/test.sh then sets
// CALYXOR_PRIVILEGED_REQUIRED, and a test that would have skipped fails instead, so that a
// guard can never go untested unnoticed.

#include <cstdlib>
#include <gtest/gtest.h>

#define SKIP_UNLESS_PRIVILEGED(available, why)                                                     \
    do {                                                                                           \
        if (!(available)) {                                                                        \
            if (std::getenv("CALYXOR_PRIVILEGED_REQUIRED") != nullptr)                             \
                GTEST_FAIL() << why << "; this run requires every privileged test to run";         \
            GTEST_SKIP() << why;                                                                   \
        }                                                                                          \
    } while (false)
