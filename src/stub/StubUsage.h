// SPDX-License-Identifier: MIT
#pragma once
// The --help text of the self-extracting modules. The two say the same of what they are, of
// where the restored file goes, of -f, --no-key-check and -h, of their exit statuses and
// licence; each gives its own words for how the key is given, for where -o may write and for
// what the check of the key tells.
// Header only: the MinGW build of the Windows module uses it as it is.

#include "lang/Texts.h"

#include <string>

// A module's own paragraphs, translated and ending in a line end; %1 in KeyInput stands for the
// name the module was started under.
struct TStubUsage {
    std::string KeyInput;     // how the key is asked for, and how a script gives it
    std::string OutputOption; // the lines of -o
    std::string WrongKey;     // what the check of the key can and cannot tell
};

// The whole text for a module started as program, which restores under restored (quoted, or
// words that say what the name will be).
inline std::string StubUsageText(const TStubUsage& own, const std::string& program,
                                 const std::string& restored) {
    std::string text = Format(
        Translated("Sfx",
                   "Usage: %1 [-o PATH] [-f] [--no-key-check]\n"
                   "Restores the file that Calyxor encrypted into this self-extracting file.\n"),
        {program});
    text += "\n";
    text += Format(own.KeyInput, {program});
    text += "\n";
    text += Format(Translated("Sfx", "The restored file is written as %1 in the current folder.\n"),
                   {restored});
    text += own.OutputOption;
    text += Translated(
        "Sfx",
        "  -f           replace the output file if it exists; without -f an existing file is\n"
        "               never touched\n"
        "  --no-key-check\n"
        "               restore even when the result looks like a wrong key's (for content\n"
        "               that is itself random)\n"
        "  -h, --help   show this help\n");
    text += "\n";
    text += own.WrongKey;
    text += "\n";
    text += Translated(
        "Sfx", "Exit status: 0 when the file was written, 1 on any failure, 2 for a wrong command\n"
               "line. A failed run leaves no partial file under the output's name.\n");
    // The notice the MIT licence asks to travel with every copy; each self-extracting file is one.
    text += "\n";
    text += Translated("Sfx", "Copyright (c) 2026 The Calyxor developers. MIT licence: free to "
                              "use, copy and pass on with this notice.\n");
    return text;
}
