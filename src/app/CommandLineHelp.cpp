// SPDX-License-Identifier: MIT
#include "app/CommandLineHelp.h"

#include <cstdio>
#include <string>

bool PrintCommandLineHelp(std::string_view arg, std::string_view version) {
    if (arg == "--version") {
        std::printf("calyxor %s\n", std::string(version).c_str());
        return true;
    }
    if (arg != "--help" && arg != "-h")
        return false;
    std::fputs("Usage: calyxor [FILE]\n"
               "       calyxor --open FILE\n"
               "       calyxor ENC|DEC KEY SOURCE TARGET\n"
               "Encrypts, decrypts and wipes files with a password, in a small window.\n"
               "\n"
               "  calyxor                          open the window\n"
               "  calyxor report.doc               open the window with report.doc chosen; it\n"
               "                                   decrypts into the current folder\n"
               "  calyxor --open report.doc.ash    the same as the desktop does it: chosen as a\n"
               "                                   dropped file, it decrypts beside itself\n"
               "  calyxor ENC KEY SOURCE TARGET    encrypt SOURCE into TARGET, then exit\n"
               "  calyxor DEC KEY SOURCE TARGET    decrypt SOURCE into TARGET, then exit\n"
               "\n"
               "ENC and DEC may be written in any case. TARGET is used as given; an empty\n"
               "TARGET (\"\") is standard output. Without a display these run headless: messages\n"
               "go to standard error, and the exit status is 0 on success, 1 on failure, 2 when\n"
               "there is nothing to do without a window.\n"
               "\n"
               "A key given as an argument is visible to other users in the process list and\n"
               "stays in the shell's history. For scripts and terminals use calyxor-cli, which\n"
               "asks for the key or reads it from a file or a descriptor, works on several files\n"
               "at once, makes self-extracting files and wipes:\n"
               "  calyxor-cli encrypt report.doc\n"
               "  calyxor-cli --help\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "  --version      show the version and exit\n"
               "\n"
               "See calyxor(1) and calyxor-cli(1).\n",
               stdout);
    return true;
}
