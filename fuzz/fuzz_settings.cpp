// SPDX-License-Identifier: MIT
// libFuzzer entry: stops on the first input that breaks a rule of CheckSettings.

#include "fuzz/FuzzChecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = CheckSettings(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "CheckSettings: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
