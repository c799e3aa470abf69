// SPDX-License-Identifier: MIT
#include "cli/KeyInput.h"

#include "cli/Passphrase.h"
#include "ops/KeyCheck.h"
#include "ops/Operations.h"
#include "prompt/KeyPrompt.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where a key came from, as the messages below name it.
std::string TerminalSource() {
    //: Where the key was read from, after "from" in "cannot read the key from %1".
    return Translated("Cli", "the terminal");
}

// A line that could not be read, in this program's words.
[[noreturn]] void RefuseLine(const EKeyLine& e, const std::string& from) {
    if (e.Reason == EKeyLine::TReason::TooLong)
        throw TStartError(
            Format(Translated("Cli", "the key line from %1 is longer than 64 KiB"), {from}));
    throw TStartError(Format(Translated("Cli", "cannot read the key from %1: %2"),
                             {from, IOErrorText(e.ErrorCode)}));
}

TSecretBytes ReadLine(int fd, const std::string& from) {
    try {
        return ReadKeyLine(fd);
    } catch (const EKeyLine& e) {
        RefuseLine(e, from);
    }
}

TSecretBytes Prompt(const char* text) {
    try {
        return AskKeyLine(text);
    } catch (const EKeyLine& e) {
        RefuseLine(e, TerminalSource());
    }
}

std::string_view Text(const TSecretBytes& line) {
    return {reinterpret_cast<const char*>(line.data()), line.size()};
}

TSecretBytes ToKey(const TSecretBytes& line, const std::string& from) {
    if (line.empty())
        throw TStartError(
            Format(Translated("Cli", "the key from %1 is empty; nothing was written"), {from}));
    try {
        return ops::KeyBytes(Text(line));
    } catch (const std::exception& e) {
        throw TStartError(Format(Translated("Cli", "%1 Nothing was written."), {e.what()}));
    }
}

// Records the regular file behind fd, the key's source.
void NoteKeyFile(int fd, std::optional<TFileId>* keyFile) {
    struct stat st {};
    if (keyFile && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        *keyFile = TFileId{st.st_dev, st.st_ino};
}

// A descriptor that cannot be read from says so before any read does it as "File not open".
void CheckReadable(int fd, const std::string& from) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        throw TStartError(
            Format(Translated("Cli", "cannot read the key from %1: it is not open"), {from}));
    if ((flags & O_ACCMODE) == O_WRONLY)
        throw TStartError(Format(Translated("Cli", "cannot read the key from %1: it is open for "
                                                   "writing only (give it as N<file)"),
                                 {from}));
}

} // namespace

TSecretBytes ReadCliKey(const TCliOptions& options, bool confirm, std::optional<TFileId>* keyFile) {
    if (options.KeyFile && *options.KeyFile == "-") {
        const std::string from = Translated("Cli", "standard input");
        CheckReadable(STDIN_FILENO, from);
        NoteKeyFile(STDIN_FILENO, keyFile);
        return ToKey(ReadLine(STDIN_FILENO, from), from);
    }
    if (options.KeyFile) {
        const std::string& path = *options.KeyFile;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw TStartError(Format(Translated("Cli", "cannot open the key file %1: %2"),
                                     {path, IOErrorText(errno)}));
        NoteKeyFile(fd, keyFile);
        TSecretBytes line;
        try {
            line = ReadLine(fd, path);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
        return ToKey(line, path);
    }
    if (options.KeyFd) {
        const std::string from =
            Format(Translated("Cli", "descriptor %1"), {std::to_string(*options.KeyFd)});
        CheckReadable(*options.KeyFd, from);
        NoteKeyFile(*options.KeyFd, keyFile);
        return ToKey(ReadLine(*options.KeyFd, from), from);
    }
    if (!::isatty(STDIN_FILENO))
        throw TStartError(Translated("Cli", "no key: standard input is not a terminal to ask on, "
                                            "so give the key with --key-file PATH or --key-fd N. "
                                            "Nothing was written."));
    return AskCliKey(confirm);
}

bool CliKeyIsTyped(const TCliOptions& options) {
    return !options.KeyFile && !options.KeyFd && ::isatty(STDIN_FILENO);
}

TSecretBytes AskCliKey(bool confirm) {
    // The prompts end in a colon in every language: a program that types the key for the
    // user waits for it.
    for (int attempt = 1;; ++attempt) {
        const TSecretBytes line = Prompt(Translated("Cli", "Key:"));
        // Nothing typed at the first prompt of an encryption: a generated passphrase, shown
        // once, stronger than most a user would choose.
        if (confirm && attempt == 1 && line.empty()) {
            const std::string words = Passphrase(DefaultWords);
            std::fprintf(stderr, "calyxor-cli: %s\n  %s\n",
                         Translated("Cli", "the key is this generated passphrase; keep it, "
                                           "nothing else decrypts the files:"),
                         words.c_str());
            return ops::KeyBytes(words);
        }
        if (confirm) {
            const TSecretBytes again = Prompt(Translated("Cli", "Key again:"));
            if (Text(again) != Text(line)) {
                if (attempt == KeyAttempts)
                    throw TStartError(
                        Translated("Cli", "the two keys typed differ; nothing was written"));
                std::fprintf(stderr, "calyxor-cli: %s\n",
                             Translated("Cli", "the two keys typed differ; type the key again"));
                continue;
            }
        }
        TSecretBytes key = ToKey(line, TerminalSource());
        // Said where it is typed; a key from a file is the script's own business.
        if (confirm && ops::IsShortKey(Text(line)))
            std::fprintf(stderr, "calyxor-cli: %s\n",
                         Format(Translated("Cli", "warning: the key is shorter than %1 characters "
                                                  "and could be guessed; a longer one is safer"),
                                {std::to_string(ops::ShortKeyLength)})
                             .c_str());
        return key;
    }
}
