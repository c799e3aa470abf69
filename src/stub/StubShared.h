// SPDX-License-Identifier: MIT
#pragma once
// What the Linux stub and the Windows module have in common, kept in one header that both are
// built from (the Windows module by MinGW, in a build of its own): their errors, the refusal of
// a key line that is too long, their command line and the bookkeeping that finds where their
// own image ends.

#include "lang/Texts.h"
#include "prompt/KeyLine.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// A failure that ends the run (or, in the Windows dialog, the attempt): its text is shown as it
// is, after the program's name on a console.
class TSfxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line the module does not understand.
class TUsageError : public TSfxError {
public:
    using TSfxError::TSfxError;
};

// A key line longer than MaxKeyLine (prompt/KeyLine.h, the bound calyxor-cli reads against too).
[[noreturn]] inline void KeyLineTooLong() {
    throw TSfxError(Translated("Sfx", "the key line is too long (more than 64 KiB); only its "
                                      "first 255 bytes would be used anyway."));
}

// ---- a key that looks wrong -------------------------------------------------------------------

// A typed key whose result looks like a wrong key's is asked for again, this many times in all.
inline constexpr int KeyTries = 3;

[[nodiscard]] inline std::string KeyLooksWrongRetype() {
    return Translated("Sfx", "the key seems to be wrong: the restored file would not look like a "
                             "file. Type it again.");
}

[[nodiscard]] inline std::string KeyLooksWrong() {
    return Translated("Sfx", "the key seems to be wrong: the restored file would not look like a "
                             "file. Nothing was written (--no-key-check restores it anyway).");
}

// ---- the command line ------------------------------------------------------------------------

// Char is char on Linux and wchar_t on Windows, where arguments come as UTF-16.
template <class Char> struct TStubOptions {
    bool Help = false;
    bool Force = false;
    bool KeyCheck = true;
    bool HasOutput = false;
    std::basic_string<Char> Output;
};

namespace stub_detail {

template <class Char> bool StartsWith(std::basic_string_view<Char> s, std::string_view ascii) {
    if (s.size() < ascii.size())
        return false;
    for (std::size_t i = 0; i < ascii.size(); ++i)
        if (s[i] != static_cast<Char>(ascii[i]))
            return false;
    return true;
}

template <class Char> bool Is(std::basic_string_view<Char> s, std::string_view ascii) {
    return s.size() == ascii.size() && StartsWith(s, ascii);
}

} // namespace stub_detail

// -h/--help, -f/--force, --no-key-check, -o PATH, -oPATH, --output PATH and --output=PATH; with
// slashHelp "/?" asks for help too, as Windows programs let it. utf8 turns an argument into UTF-8
// for the messages. Raises TUsageError for anything else.
template <class Char, class ToUtf8>
TStubOptions<Char> ParseStubOptions(int argc, Char** argv, ToUtf8 utf8, bool slashHelp) {
    using stub_detail::Is;
    using stub_detail::StartsWith;
    using TView = std::basic_string_view<Char>;
    auto quoted = [&](TView arg) { return "'" + std::string(utf8(arg)) + "'"; };
    TStubOptions<Char> opt;
    for (int k = 1; k < argc; ++k) {
        const TView arg = argv[k];
        if (Is(arg, "-h") || Is(arg, "--help") || (slashHelp && Is(arg, "/?"))) {
            opt.Help = true;
        } else if (Is(arg, "-f") || Is(arg, "--force")) {
            opt.Force = true;
        } else if (Is(arg, "--no-key-check")) {
            opt.KeyCheck = false;
        } else if (Is(arg, "-o") || Is(arg, "--output")) {
            if (k + 1 >= argc)
                throw TUsageError(
                    Format(Translated("Sfx", "%1 needs a path"), {std::string(utf8(arg))}));
            opt.HasOutput = true;
            opt.Output = argv[++k];
        } else if (StartsWith(arg, "-o")) {
            opt.HasOutput = true;
            opt.Output = arg.substr(2);
        } else if (StartsWith(arg, "--output=")) {
            opt.HasOutput = true;
            opt.Output = arg.substr(9);
        } else if (!arg.empty() && arg[0] == Char('-')) {
            throw TUsageError(Format(Translated("Sfx", "unknown option %1"), {quoted(arg)}));
        } else {
            throw TUsageError(Format(Translated("Sfx", "unexpected argument %1 (the output is "
                                                       "given with -o PATH)"),
                                     {quoted(arg)}));
        }
    }
    if (opt.HasOutput && opt.Output.empty())
        throw TUsageError(Translated("Sfx", "the output path is empty"));
    return opt;
}

// ---- where the image ends --------------------------------------------------------------------

// The furthest byte of the file that an executable's headers account for, grown one extent at
// a time. An extent that reaches past the file means the file was cut short: no end found in
// it could be trusted, and Inside() says so.
class TImageExtent {
public:
    TImageExtent(uint64_t fileSize, uint64_t headers) : FileSize(fileSize), Last(headers) {}

    void Extend(uint64_t offset, uint64_t size) {
        if (offset > FileSize || size > FileSize - offset)
            InFile = false;
        else if (offset + size > Last)
            Last = offset + size;
    }
    [[nodiscard]] bool Inside() const { return InFile; }
    [[nodiscard]] uint64_t End() const { return Last; }

private:
    uint64_t FileSize;
    uint64_t Last;
    bool InFile = true;
};
