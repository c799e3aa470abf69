// SPDX-License-Identifier: MIT
#pragma once
// What `calyxor --help` and `calyxor --version` print. Answered before the window system is
// touched, so they work on any terminal, with or without a display.

#include <string_view>

// True when arg asked for the usage or the version, which has then been printed to standard
// output. Neither names a file, and one argument that names no file ends the program anyway,
// so answering them takes nothing away from the one-argument form.
[[nodiscard]] bool PrintCommandLineHelp(std::string_view arg, std::string_view version);

// "calyxor --open FILE": FILE handed over by the desktop (its entry, open-with, a file
// manager's action), chosen as a dropped file is, so that its decrypted file lands beside it.
inline constexpr const char* OpenOption = "--open";
