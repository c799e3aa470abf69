// SPDX-License-Identifier: MIT
#pragma once
// What `calyxor --help` and `calyxor --version` print. Answered before the window system is
// touched, so they work on any terminal, with or without a display.

#include <string_view>

// True when arg asked for the usage or the version, which has then been printed to standard
// output. Neither names a file, and one argument that names no file ends the program anyway,
// so answering them takes nothing away from the one-argument form.
[[nodiscard]] bool PrintCommandLineHelp(std::string_view arg, std::string_view version);
