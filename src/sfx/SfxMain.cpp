// SPDX-License-Identifier: MIT
// calyxor-sfx: the self-extracting stub. Calyxor makes a self-extracting file by copying this
// program's file and appending a file it encrypted, with nothing in between and no record of
// where the appended bytes begin. Run under the name it was given ("report.doc.exe"), the stub
// finds its own end, asks for the key and restores "report.doc". It links nothing but the
// engine, statically, so that it runs on a machine that has never seen Calyxor.

#include "cipher/BlockFile.h"
#include "cipher/CoreDumps.h"
#include "cipher/DescriptorNames.h"
#include "cipher/FileTransform.h"
#include "cipher/SafeOutput.h"
#include "cipher/StandardDescriptors.h"
#include "cipher/WriteOut.h"
#include "cipher/core/Cipher.h"
#include "cipher/core/Cp1251.h"
#include "errors/Errors.h"
#include "judge/core/Judgement.h"
#include "lang/Language.h"
#include "prompt/KeyPrompt.h"
#include "sfx/ElfImage.h"
#include "stub/StubShared.h"
#include "stub/StubUsage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

std::string ErrnoText(int err) {
    return std::strerror(err);
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

// ---- names ----------------------------------------------------------------------------------

std::string BaseName(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool EndsWithExe(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return tail == ".exe";
}

// The restored file is named after the name the stub was started under, so that a copy the
// user renamed restores under the new name; Calyxor names the self-extracting file after the
// source with ".exe" appended.
std::string RestoredName(const std::string& startedAs) {
    std::string name = BaseName(startedAs);
    if (!EndsWithExe(name))
        throw TSfxError(Format(Translated("Sfx", "cannot tell what to call the restored file: the "
                                                 "name %1 does not end in \".exe\". Give the "
                                                 "output with -o PATH."),
                               {Quoted(name)}));
    name.resize(name.size() - 4);
    if (name.empty() || name == "." || name == "..")
        throw TSfxError(Format(Translated("Sfx", "cannot tell what to call the restored file from "
                                                 "the name %1. Give the output with -o PATH."),
                               {Quoted(BaseName(startedAs))}));
    return name;
}

std::string StartedAs(int argc, char** argv) {
    if (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0')
        return argv[0];
    std::array<char, 4096> buf{};
    const ssize_t n = ::readlink(SelfPath, buf.data(), buf.size() - 1);
    return n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : "calyxor-sfx";
}

// ---- the command line -------------------------------------------------------------------------

using TOptions = TStubOptions<char>;

TOptions ParseOptions(int argc, char** argv) {
    return ParseStubOptions(
        argc, argv, [](std::string_view arg) { return arg; }, false);
}

void PrintHelp(const std::string& program, const std::string& startedAs) {
    std::string restored;
    try {
        restored = Quoted(RestoredName(startedAs));
    } catch (const TSfxError&) {
        restored = Translated("Sfx", "its own name without \".exe\"");
    }
    TStubUsage own;
    own.KeyInput = Translated(
        "Sfx",
        "The key is asked for on the terminal and is not shown as it is typed. When standard\n"
        "input is not a terminal, its first line is the key, so that scripts can use it:\n"
        "    printf '%s\\n' \"$KEY\" | ./%1\n");
    own.OutputOption = Translated(
        "Sfx",
        "  -o PATH      write it to PATH instead (into PATH, under that name, when PATH is a\n"
        "               folder; straight through when PATH is a pipe or a device such as\n"
        "               /dev/stdout; -o - is standard output)\n");
    own.WrongKey = Translated(
        "Sfx",
        "The file holds no key check, so the stub decrypts its first bytes before writing: when\n"
        "they look like random noise rather than a file, nothing is written and a key typed on\n"
        "the terminal is asked for again (three tries). Files under 64 bytes, and content that\n"
        "is itself random, cannot be judged; if the restored file does not open, run the stub\n"
        "again with the right key and -f.\n");
    const std::string text = StubUsageText(own, program, restored);
    std::fputs(text.c_str(), stdout);
}

// ---- the output -------------------------------------------------------------------------------

// "" stands for standard output.
std::string OutputPath(const TOptions& opt, const std::string& startedAs) {
    if (!opt.HasOutput)
        return RestoredName(startedAs);
    if (opt.Output == "-")
        return "";
    // A descriptor is written as it is, whatever it leads to.
    if (DescriptorNamedBy(opt.Output) >= 0)
        return opt.Output;
    struct stat st {};
    if (opt.Output.back() == '/')
        return opt.Output + RestoredName(startedAs);
    if (::stat(opt.Output.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return opt.Output + "/" + RestoredName(startedAs);
    return opt.Output;
}

std::string Shown(const std::string& path) {
    return path.empty() ? std::string(Translated("Sfx", "standard output")) : Quoted(path);
}

// Refuses, before the user is asked for a key, every output that cannot or must not be
// written, and gives the path the output is to be written under. Only a regular file (or a new
// name) is replaced, by a rename, and only with -f; a pipe or a device ("-o /dev/null") is
// written straight through: renaming over it would swap the device for a file. Standard output
// and descriptor names such as /dev/stdout are the descriptors themselves, with or without -f.
std::string CheckOutput(const std::string& path, bool force, const struct stat& self) {
    if (path.empty() || DescriptorNamedBy(path) >= 0)
        return path;
    std::string target = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    // Replacing the running file with its own contents would lose the encrypted copy.
    if (exists && st.st_dev == self.st_dev && st.st_ino == self.st_ino)
        throw TSfxError(
            Format(Translated("Sfx", "%1 is this self-extracting file itself; choose another "
                                     "output with -o PATH."),
                   {Quoted(path)}));
    if (exists && S_ISDIR(st.st_mode))
        throw TSfxError(
            Format(Translated("Sfx", "%1 is a folder; choose another output with -o PATH."),
                   {Quoted(path)}));
    const bool stream = exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
    if (exists && !stream && !S_ISREG(st.st_mode))
        throw TSfxError(Format(Translated("Sfx", "%1 is not a regular file and was left as it "
                                                 "is; choose another output with -o PATH."),
                               {Quoted(path)}));
    struct stat link {};
    const bool present = ::lstat(path.c_str(), &link) == 0;
    if (present && !stream && !force)
        throw TSfxError(
            Format(Translated("Sfx", "%1 already exists and was left as it is. Use -f to "
                                     "replace it, or -o PATH to write elsewhere."),
                   {Quoted(path)}));
    // A link is followed to what it leads to: -f replaces that file and keeps the link, and a
    // link to a pipe or a device is written through.
    if (exists && present && S_ISLNK(link.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    if (stream)
        return target;
    const std::string dir = DirName(target);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw TSfxError(Format(Translated("Sfx", "cannot write %1: the folder %2 does not exist."),
                               {Quoted(path), Quoted(dir)}));
    return target;
}

std::string CantWrite(const std::string& path, const std::string& why) {
    return Format(Translated("Sfx", "cannot write %1: %2"), {Shown(path), why});
}

// The restored bytes, through the engine's safe output: a file is written beside its final
// name and renamed into place only when it is complete, so that a failed or interrupted run
// leaves nothing under the output's name.
class TOutputFile {
public:
    TOutputFile(const std::string& path, bool force, const struct stat& self) : Path(path) {
        TOutputRules rules;
        rules.MayReplace = force;
        rules.NotSameAs = &self;
        if (Out.Open(path, rules))
            return;
        if (Out.Error() == EEXIST)
            throw TSfxError(
                Format(Translated("Sfx", "%1 already exists and was left as it is. Use -f to "
                                         "replace it, or -o PATH to write elsewhere."),
                       {Shown(path)}));
        if (Out.Error() == EINVAL && Out.Problem().empty())
            throw TSfxError(
                Format(Translated("Sfx", "%1 is this self-extracting file itself; choose another "
                                         "output with -o PATH."),
                       {Shown(path)}));
        throw TSfxError(
            CantWrite(path, Out.Problem().empty() ? ErrnoText(Out.Error()) : Out.Problem()));
    }

    void Write(const uint8_t* data, std::size_t n) {
        if (const int err = WriteOut(Out.Fd(), data, n); err != 0)
            throw TSfxError(CantWrite(Path, ErrnoText(err)));
    }

    void Commit() {
        try {
            Out.Commit();
        } catch (const EInOutError& e) {
            if (e.ErrorCode == EEXIST)
                throw TSfxError(Format(Translated("Sfx", "%1 appeared while the file was being "
                                                         "restored and was left as it is. Use -f "
                                                         "to replace it."),
                                       {Shown(Path)}));
            throw TSfxError(CantWrite(Path, ErrnoText(e.ErrorCode)));
        }
    }

private:
    std::string Path;
    TSafeOutput Out;
};

// ---- the key ----------------------------------------------------------------------------------

TSecretBytes ReadKey() {
    TSecretBytes text;
    try {
        text = AskKeyLine(Translated("Sfx", "Key: "));
    } catch (const EKeyLine& e) {
        if (e.Reason == EKeyLine::TReason::TooLong)
            KeyLineTooLong();
        throw TSfxError(
            Format(Translated("Sfx", "cannot read the key: %1"), {ErrnoText(e.ErrorCode)}));
    }
    if (text.empty())
        throw TSfxError(Translated(
            "Sfx", "no key was given; an empty key cannot be used. Nothing was written."));
    try {
        return EncodeKeyCp1251(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    } catch (const std::exception& e) {
        throw TSfxError(Format(Translated("Sfx", "%1 Nothing was written."), {e.what()}));
    }
}

// ---- the work ---------------------------------------------------------------------------------

void ReadPayload(const TSelfFile& self, uint8_t* buffer, std::size_t n, uint64_t pos) {
    errno = 0;
    if (!elf_image_detail::ReadAt(self.Fd.Get(), buffer, n, pos))
        throw TSfxError(
            Format(Translated("Sfx", "cannot read the encrypted data from its own file: %1"),
                   {errno != 0 ? ErrnoText(errno)
                               : std::string(Translated("Sfx", "the file got shorter"))}));
}

// Streams the appended bytes through the decryption a block at a time: the payload can be as
// large as any file Calyxor encrypts, and memory stays at one block.
void Restore(const TSelfFile& self, std::span<const uint8_t> key, TOutputFile& out) {
    TTransformState state;
    TransformInit(state, key);
    // The restored bytes are wiped from memory when the run ends, however it ends.
    TSecretBytes buffer(BlockSize);
    uint64_t pos = self.PayloadStart;
    while (pos < self.Size) {
        const auto n = static_cast<std::size_t>(std::min<uint64_t>(buffer.size(), self.Size - pos));
        ReadPayload(self, buffer.data(), n, pos);
        DecryptBuffer(state, buffer.data(), buffer.data(), n);
        out.Write(buffer.data(), n);
        pos += n;
    }
}

// The name the result is judged under: the output's, or for standard output, a pipe or a
// device the name the stub would have given it ("" when it cannot tell).
std::string JudgedName(const std::string& target, const std::string& startedAs) {
    struct stat st {};
    if (!target.empty() && DescriptorNamedBy(target) < 0 &&
        (::stat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode)))
        return target;
    try {
        return RestoredName(startedAs);
    } catch (const TSfxError&) {
        return "";
    }
}

// Decrypts the payload's first bytes in memory, with a transform of their own, and judges them.
TKeyVerdict JudgeKey(const TSelfFile& self, std::span<const uint8_t> key, const std::string& name) {
    const auto n =
        static_cast<std::size_t>(std::min<uint64_t>(JudgedPrefix, self.Size - self.PayloadStart));
    TSecretBytes first(n);
    ReadPayload(self, first.data(), n, self.PayloadStart);
    TTransformState state;
    TransformInit(state, key);
    DecryptBuffer(state, first.data(), first.data(), n);
    return JudgeDecrypted(first.Span(), name);
}

// A key typed on the terminal whose result looks like a wrong key's is most likely mistyped,
// and is asked for again. A key from a pipe or a file cannot be: the run ends before anything
// is written.
TSecretBytes ReadJudgedKey(const TSelfFile& self, const std::string& name, bool check,
                           const std::string& program) {
    const bool typed = ::isatty(STDIN_FILENO) != 0;
    for (int attempt = 1;; ++attempt) {
        TSecretBytes key = ReadKey();
        if (!check || JudgeKey(self, key, name) != TKeyVerdict::LooksWrong)
            return key;
        if (!typed || attempt >= KeyTries)
            throw TSfxError(KeyLooksWrong());
        std::fprintf(stderr, "%s: %s\n", program.c_str(), KeyLooksWrongRetype().c_str());
    }
}

int Run(int argc, char** argv, const std::string& program, const std::string& startedAs) {
    const TOptions opt = ParseOptions(argc, argv);
    if (opt.Help) {
        PrintHelp(program, startedAs);
        return ExitOk;
    }
    // Closed at start and now /dev/null: an empty line would be taken as the key, and the
    // user would never be asked.
    if (StandardDescriptorWasClosed(STDIN_FILENO))
        throw TSfxError(Translated("Sfx", "standard input is closed, so there is no key to read. "
                                          "Run it from a terminal, or give the key on standard "
                                          "input. Nothing was written."));
    TSelfFile self(startedAs);
    const std::string output = OutputPath(opt, startedAs);
    const std::string target = CheckOutput(output, opt.Force, self.Stat);
    const TSecretBytes key =
        ReadJudgedKey(self, JudgedName(target, startedAs), opt.KeyCheck, program);
    // Opened only once the key is taken, so that a refused key leaves nothing behind.
    TOutputFile out(target, opt.Force, self.Stat);
    Restore(self, key, out);
    out.Commit();
    // Standard error, since standard output may be the restored file itself.
    const std::string bytes = std::to_string(self.Size - self.PayloadStart);
    const std::string done =
        output.empty()
            ? Format(Translated("Sfx", "Restored to standard output (%1 bytes)."), {bytes})
            : Format(Translated("Sfx", "Restored %1 (%2 bytes)."), {output, bytes});
    std::fprintf(stderr, "%s\n", done.c_str());
    return ExitOk;
}

} // namespace

int main(int argc, char** argv) {
    UseTextLanguage(SystemLanguageIsRussian());
    OpenMissingStandardDescriptors();
    // Before anything else, as the key will be in this process's memory.
    ForbidCoreDumps();
    const std::string startedAs = StartedAs(argc, argv);
    const std::string program = BaseName(startedAs);
    try {
        return Run(argc, argv, program, startedAs);
    } catch (const TUsageError& e) {
        const std::string tryHelp = Format(Translated("Sfx", "Try '%1 --help'."), {program});
        std::fprintf(stderr, "%s: %s\n%s\n", program.c_str(), e.what(), tryHelp.c_str());
        return ExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        return ExitFailure;
    }
}
