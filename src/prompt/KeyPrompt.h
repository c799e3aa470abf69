// SPDX-License-Identifier: MIT
#pragma once
// The key typed at a terminal, or read from a pipe, a file or a descriptor: one line, held only
// in memory that is wiped after use.

#include "cipher/core/SecretBytes.h"
#include "prompt/KeyLine.h"

#include <stdexcept>
#include <string_view>

// A key line that could not be had. The programs say why in their own words.
class EKeyLine : public std::runtime_error {
public:
    enum class TReason {
        TooLong,    // more than MaxKeyLine bytes before the line end
        ReadFailed, // the input gave an error; ErrorCode holds its errno
    };
    EKeyLine(TReason reason, int errorCode);

    TReason Reason;
    int ErrorCode;
};

// One line from fd without its line end ("\n" or "\r\n"; the input's end ends it too), read a
// byte at a time so that no other buffer keeps a copy and nothing after the line is taken from
// a shared descriptor. Makes no terminal calls: a descriptor that is a terminal is read as it
// is. Raises EKeyLine.
[[nodiscard]] TSecretBytes ReadKeyLine(int fd);

// The key from standard input. On a terminal, prompt goes to standard error and the line is
// typed with echo off; the terminal is put back when the line ends, when reading fails and on
// the signals that end or stop the program (Ctrl-C, Ctrl-\, Ctrl-Z, a closed terminal, kill),
// and the Enter that was not echoed is written after it. Anything else is read by ReadKeyLine,
// without a prompt. Raises EKeyLine. One prompt at a time: the terminal's saved modes and the
// signal handlers are the process's.
[[nodiscard]] TSecretBytes AskKeyLine(std::string_view prompt);
