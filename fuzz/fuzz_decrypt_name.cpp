// SPDX-License-Identifier: MIT
// libFuzzer entry: stops on the first input that breaks a rule of CheckDecryptName.

#include "fuzz/FuzzChecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = CheckDecryptName(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "CheckDecryptName: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
