// SPDX-License-Identifier: MIT
// A small program that runs the window's operations through the very code its commands call,
// so that strace can fail any one system call of that chain without a display or Qt in the
// way. Notices and warnings go to standard error, one line each.
//
//   calyxor-faultdrv enc KEY SOURCE TARGET        encrypt, as "calyxor ENC" does
//   calyxor-faultdrv enc-kill KEY SOURCE TARGET   encrypt as the encrypt command does with
//                                                 «Удалить исходный файл» ticked: only when
//                                                 that succeeded, put the target on the device
//                                                 and wipe the source
//   calyxor-faultdrv wipe PATH                     wipe one file, as the wipe command does
//
// Exit status: 0 when every step succeeded, 1 when one failed or raised.

#include "cipher/core/Cipher.h"
#include "ops/Operations.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Every notice and warning as one line on standard error, as the fault tests read them.
class TPrintedNotices : public TNoticeReceiver {
public:
    void Notice(const TNotice& notice) override {
        std::fprintf(stderr, "calyxor: %s\n", notice.Text.c_str());
    }
};

int Status(TPrintedNotices& notices, const ops::TOutcome& outcome) {
    if (outcome.Warning)
        notices.Notice(*outcome.Warning);
    return outcome.Done ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    BuildPrimeTable();
    const std::vector<std::string> args(argv + 1, argv + argc);
    TPrintedNotices notices;
    try {
        if (args.size() == 4 && args[0] == "enc")
            return Status(notices, ops::EncryptFile(args[2], args[3], ops::KeyBytes(args[1]),
                                                    TSfxOptions{}, nullptr, &notices));
        if (args.size() == 4 && args[0] == "enc-kill")
            return Status(notices, ops::EncryptAndWipe(args[2], args[3], ops::KeyBytes(args[1]),
                                                       TSfxOptions{}, true, nullptr, &notices));
        if (args.size() == 2 && args[0] == "wipe")
            return Status(notices, ops::WipeFile(args[1], args[1], nullptr, &notices));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: calyxor-faultdrv enc|enc-kill KEY SOURCE TARGET | wipe PATH\n");
    return 2;
}
