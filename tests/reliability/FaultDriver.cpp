// A small program that runs the engine's file operations the way the window's commands chain
// them, so that strace can fail any one system call of that chain without a display or Qt in
// the way. Messages go to standard error, as the command line shows them.
//
//   calyxor-faultdrv enc KEY SOURCE TARGET        encrypt, as "calyxor ENC" does
//   calyxor-faultdrv enc-kill KEY SOURCE TARGET   encrypt; only when that succeeded, put the
//                                                 target on the device and wipe the source
//   calyxor-faultdrv wipe PATH                     wipe one file
//
// Exit status: 0 when every step succeeded, 1 when one failed or raised.

#include "BlockFile.h"
#include "Cipher.h"
#include "FileTransform.h"
#include "Wipe.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool EncryptThenWipe(const std::string& key, const std::string& source, const std::string& target) {
    const std::vector<uint8_t> keyBytes(key.begin(), key.end());
    if (!EncryptFileCore(source, target, keyBytes, TSfxOptions{}, nullptr))
        return false;
    // The source may go only once its encrypted copy is on the device.
    FlushToDevice(target);
    if (!WipeFileCore(source, source, nullptr)) {
        std::fprintf(stderr, "cannot wipe %s\n", source.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    BuildPrimeTable();
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 4 && args[0] == "enc") {
            const std::vector<uint8_t> keyBytes(args[1].begin(), args[1].end());
            return EncryptFileCore(args[2], args[3], keyBytes, TSfxOptions{}, nullptr) ? 0 : 1;
        }
        if (args.size() == 4 && args[0] == "enc-kill")
            return EncryptThenWipe(args[1], args[2], args[3]) ? 0 : 1;
        if (args.size() == 2 && args[0] == "wipe")
            return WipeFileCore(args[1], args[1], nullptr) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: calyxor-faultdrv enc|enc-kill KEY SOURCE TARGET | wipe PATH\n");
    return 2;
}
