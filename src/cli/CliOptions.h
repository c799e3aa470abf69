// SPDX-License-Identifier: MIT
#pragma once
// The command line of calyxor-cli: what it was asked to do, read from argv.

#include "errors/Errors.h"

#include <optional>
#include <string>
#include <vector>

// genkey's passphrase without --words: about 77 bits from the 7,776 words.
inline constexpr unsigned DefaultWords = 6;

enum class TCliCommand { None, Encrypt, Decrypt, Wipe, GenKey };

struct TCliOptions {
    TCliCommand Command = TCliCommand::None;
    std::vector<std::string> Files;
    std::optional<std::string> Output; // "-" is standard output
    bool Force = false;
    bool Sfx = false;
    std::string SfxModule; // empty: the module the window would use; "linux", "windows": shipped
    bool Wipe = false;
    std::optional<std::string> KeyFile; // "-" is standard input
    std::optional<int> KeyFd;
    unsigned Jobs = 0; // 0: one per core
    bool Quiet = false;
    bool KeyCheck = true;          // decrypt: refuse a result that looks like a wrong key's
    bool Recursive = false;        // the files under each folder given
    bool All = false;              // encrypt -r: .ash files too
    bool RemoveDirs = false;       // wipe -r: the folders it emptied
    bool CrossFileSystems = false; // -r: enter folders on other file systems
    unsigned Words = 0;            // genkey: the passphrase's words; 0: DefaultWords
    bool Help = false;
    bool Version = false;
};

// A command line that cannot be carried out as written: exit status 2.
class TUsageError : public Exception {
public:
    using Exception::Exception;
};

// Something the command needs before it can start is missing or unusable (the key, the module):
// exit status 2, and nothing has been written.
class TStartError : public Exception {
public:
    using Exception::Exception;
};

// Reads the arguments after the program's name. Raises TUsageError naming the problem.
[[nodiscard]] TCliOptions ParseCliOptions(const std::vector<std::string>& args);

// The text --help prints.
[[nodiscard]] const char* CliUsageText();
