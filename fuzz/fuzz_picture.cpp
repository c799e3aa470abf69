// SPDX-License-Identifier: MIT
// libFuzzer entry for one picture loader, chosen when built (CALYXOR_PICTURE_EXTENSION):
// stops on the first input whose load breaks a rule of CheckPicture.

#include "fuzz/PictureChecks.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt's readers and the SVG renderer want an application; the fuzzer's own arguments are
    // kept from it.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_picture";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string broken = CheckPicture(data, size, CALYXOR_PICTURE_EXTENSION);
    if (!broken.empty()) {
        std::fprintf(stderr, "CheckPicture: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
