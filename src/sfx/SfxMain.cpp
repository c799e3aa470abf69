// calyxor-sfx: the self-extracting stub. Calyxor makes a self-extracting file by copying this
// program's file and appending a file it encrypted, with nothing in between and no record of
// where the appended bytes begin. Run under the name it was given ("report.doc.exe"), the stub
// finds its own end, asks for the key and restores "report.doc". It links nothing but the
// engine, statically, so that it runs on a machine that has never seen Calyxor.

#include "BlockFile.h"
#include "Cipher.h"
#include "CoreDumps.h"
#include "Cp1251.h"
#include "ElfImage.h"
#include "FileTransform.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Only the first 255 key bytes count, but a line is read whole so that its end is found; the
// bound keeps a stray binary file on standard input from being read into memory.
constexpr std::size_t MaxKeyLine = 64 * 1024;

// A failure that ends the run: its text goes to standard error after the program's name.
class TSfxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line the stub does not understand.
class TUsageError : public TSfxError {
public:
    using TSfxError::TSfxError;
};

std::string ErrnoText(int err) {
    return std::strerror(err);
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

// ---- what a signal must undo ----------------------------------------------------------------
// Ctrl-C at the key prompt must not leave the terminal without echo, and Ctrl-C while the file
// is written must not leave the temporary file behind. Both are undone from the handler with
// async-signal-safe calls only, then the signal is raised again with its default action.

struct termios gSavedTerminal;
volatile sig_atomic_t gTerminalChanged = 0;
std::array<char, 4096> gTempPath{};

extern "C" void OnTerminatingSignal(int sig) {
    if (gTerminalChanged)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
    if (gTempPath[0] != '\0')
        ::unlink(gTempPath.data());
    // SA_RESETHAND has restored the default action; the signal is delivered on return.
    ::raise(sig);
}

void InstallSignalCleanup() {
    struct sigaction sa {};
    sa.sa_handler = OnTerminatingSignal;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::sigaction(sig, &sa, nullptr);
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
        throw TSfxError("cannot tell what to call the restored file: the name " + Quoted(name) +
                        " does not end in \".exe\". Give the output with -o PATH.");
    name.resize(name.size() - 4);
    if (name.empty() || name == "." || name == "..")
        throw TSfxError("cannot tell what to call the restored file from the name " +
                        Quoted(BaseName(startedAs)) + ". Give the output with -o PATH.");
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

struct TOptions {
    bool Help = false;
    bool Force = false;
    bool HasOutput = false;
    std::string Output;
};

TOptions ParseOptions(int argc, char** argv) {
    TOptions opt;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "-h" || arg == "--help") {
            opt.Help = true;
        } else if (arg == "-f" || arg == "--force") {
            opt.Force = true;
        } else if (arg == "-o" || arg == "--output") {
            if (k + 1 >= argc)
                throw TUsageError(arg + " needs a path");
            opt.HasOutput = true;
            opt.Output = argv[++k];
        } else if (arg.rfind("-o", 0) == 0) {
            opt.HasOutput = true;
            opt.Output = arg.substr(2);
        } else if (arg.rfind("--output=", 0) == 0) {
            opt.HasOutput = true;
            opt.Output = arg.substr(9);
        } else if (!arg.empty() && arg[0] == '-') {
            throw TUsageError("unknown option " + Quoted(arg));
        } else {
            throw TUsageError("unexpected argument " + Quoted(arg) +
                              " (the output is given with -o PATH)");
        }
    }
    if (opt.HasOutput && opt.Output.empty())
        throw TUsageError("the output path is empty");
    return opt;
}

void PrintHelp(const std::string& program, const std::string& startedAs) {
    std::string restored;
    try {
        restored = Quoted(RestoredName(startedAs));
    } catch (const TSfxError&) {
        restored = "its own name without \".exe\"";
    }
    std::printf(
        "Usage: %s [-o PATH] [-f]\n"
        "Restores the file that Calyxor encrypted into this self-extracting file.\n"
        "\n"
        "The key is asked for on the terminal and is not shown as it is typed. When standard\n"
        "input is not a terminal, its first line is the key, so that scripts can use it:\n"
        "    printf '%%s\\n' \"$KEY\" | ./%s\n"
        "\n"
        "The restored file is written as %s in the current folder.\n"
        "  -o PATH      write it to PATH instead (into PATH, under that name, when PATH is a\n"
        "               folder; straight through when PATH is a pipe or a device such as\n"
        "               /dev/stdout)\n"
        "  -f           replace the output file if it exists; without -f an existing file is\n"
        "               never touched\n"
        "  -h, --help   show this help\n"
        "\n"
        "A WRONG KEY CANNOT BE DETECTED. The file holds no key check: with a wrong key the\n"
        "stub still succeeds and writes a file of the same length with other bytes. If the\n"
        "restored file does not open, run the stub again with the right key and -f.\n"
        "\n"
        "Exit status: 0 when the file was written, 1 on any failure, 2 for a wrong command\n"
        "line. A failed run leaves no partial file under the output's name.\n",
        program.c_str(), program.c_str(), restored.c_str());
}

// ---- the output -------------------------------------------------------------------------------

std::string OutputPath(const TOptions& opt, const std::string& startedAs) {
    if (!opt.HasOutput)
        return RestoredName(startedAs);
    struct stat st {};
    if (opt.Output.back() == '/')
        return opt.Output + RestoredName(startedAs);
    if (::stat(opt.Output.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return opt.Output + "/" + RestoredName(startedAs);
    return opt.Output;
}

// Where the restored bytes go. A file is written beside its final name and renamed into place;
// a pipe or a character device ("-o /dev/stdout") is written straight through: there is no
// file to replace, and renaming over it would swap the device for a file.
struct TTarget {
    std::string Path;
    bool Stream = false;
};

// Refuses, before the user is asked for a key, every output that cannot or must not be written.
TTarget CheckOutput(const std::string& path, bool force, const struct stat& self) {
    TTarget target{path, false};
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    // Replacing the running file with its own contents would lose the encrypted copy.
    if (exists && st.st_dev == self.st_dev && st.st_ino == self.st_ino)
        throw TSfxError(Quoted(path) + " is this self-extracting file itself; choose another " +
                        "output with -o PATH.");
    if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
        target.Stream = true;
        return target;
    }
    if (exists && S_ISDIR(st.st_mode))
        throw TSfxError(Quoted(path) + " is a folder; choose another output with -o PATH.");
    if (exists && !S_ISREG(st.st_mode))
        throw TSfxError(Quoted(path) + " is not a regular file and was left as it is; choose " +
                        "another output with -o PATH.");
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0) {
        if (!force)
            throw TSfxError(Quoted(path) + " already exists and was left as it is. Use -f to " +
                            "replace it, or -o PATH to write elsewhere.");
        // -f replaces the file a link leads to, and keeps the link.
        if (exists && S_ISLNK(link.st_mode)) {
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                target.Path = real;
                std::free(real);
            }
        }
    }
    const std::string dir = DirName(target.Path);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw TSfxError("cannot write " + Quoted(path) + ": the folder " + Quoted(dir) +
                        " does not exist.");
    return target;
}

bool WriteAll(int fd, const uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, data, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = EIO;
            return false;
        }
        data += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

// A file's restored bytes go to a temporary file beside it, which is renamed into place only
// when it is complete: a failed or interrupted run leaves nothing under the output's name.
class TOutputFile {
public:
    explicit TOutputFile(const TTarget& target) : Output(target.Path), Stream(target.Stream) {
        if (Stream) {
            Fd = ::open(Output.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (Fd < 0)
                throw TSfxError("cannot write " + Quoted(Output) + ": " + ErrnoText(errno));
            return;
        }
        Path = DirName(Output) + "/.calyxor-sfx-XXXXXX";
        Fd = ::mkostemp(Path.data(), O_CLOEXEC);
        if (Fd < 0)
            throw TSfxError("cannot write in the folder " + Quoted(DirName(Output)) + ": " +
                            ErrnoText(errno));
        if (Path.size() < gTempPath.size())
            std::memcpy(gTempPath.data(), Path.c_str(), Path.size() + 1);
    }
    ~TOutputFile() {
        if (Fd >= 0)
            ::close(Fd);
        if (!Stream && !Committed)
            ::unlink(Path.c_str());
        gTempPath[0] = '\0';
    }
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    void Write(const uint8_t* data, std::size_t n) {
        if (!WriteAll(Fd, data, n))
            throw TSfxError("cannot write " + Quoted(Output) + ": " + ErrnoText(errno));
    }

    void Commit(bool force) {
        if (Stream) {
            const int fd = Fd;
            Fd = -1;
            if (::close(fd) != 0)
                throw TSfxError("cannot write " + Quoted(Output) + ": " + ErrnoText(errno));
            return;
        }
        // The stub does not know the source's permissions; a new file gets the usual ones.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(Fd, 0666 & ~mask);
        if (::fsync(Fd) != 0 || ::close(Fd) != 0) {
            Fd = -1;
            throw TSfxError("cannot write " + Quoted(Output) + ": " + ErrnoText(errno));
        }
        Fd = -1;
        if (force) {
            if (::rename(Path.c_str(), Output.c_str()) != 0)
                throw TSfxError("cannot write " + Quoted(Output) + ": " + ErrnoText(errno));
        } else {
            MoveWithoutReplacing();
        }
        Committed = true;
        gTempPath[0] = '\0';
        // Make the new name itself durable; a failure here loses nothing already written.
        const int dir = ::open(DirName(Output).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

private:
    // A file that appeared under the output's name while the stub worked is not replaced either.
    void MoveWithoutReplacing() {
        if (::renameat2(AT_FDCWD, Path.c_str(), AT_FDCWD, Output.c_str(), RENAME_NOREPLACE) == 0)
            return;
        int err = errno;
        if (err == EINVAL || err == ENOSYS) {
            // The file system cannot rename that way; a hard link refuses an existing name too.
            if (::link(Path.c_str(), Output.c_str()) == 0) {
                ::unlink(Path.c_str());
                return;
            }
            err = errno;
        }
        if (err == EEXIST)
            throw TSfxError(Quoted(Output) + " appeared while the file was being restored and " +
                            "was left as it is. Use -f to replace it.");
        throw TSfxError("cannot write " + Quoted(Output) + ": " + ErrnoText(err));
    }

    std::string Output;
    bool Stream;
    std::string Path; // the temporary file
    int Fd = -1;
    bool Committed = false;
};

// ---- the key ----------------------------------------------------------------------------------

// One line from fd, without its line end ("\n" or "\r\n"), read straight into storage that
// is wiped after use. Read a byte at a time so that no buffer keeps a copy of the key and
// nothing after the line is consumed.
TSecretBytes ReadKeyLine(int fd) {
    // One byte more than a line may hold: the place where its line end is read.
    TSecretBytes line(MaxKeyLine + 1);
    std::size_t size = 0;
    bool ended = false;
    for (;;) {
        const ssize_t got = ::read(fd, line.data() + size, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw TSfxError("cannot read the key: " + ErrnoText(errno));
        if (got == 0)
            break;
        if (line.data()[size] == '\n') {
            ended = true;
            break;
        }
        if (size >= MaxKeyLine)
            throw TSfxError("the key line is too long (more than 64 KiB); only its first 255 "
                            "bytes would be used anyway.");
        ++size;
    }
    if (ended && size > 0 && line.data()[size - 1] == '\r')
        --size;
    line.Shrink(size);
    return line;
}

// Puts the terminal back however the prompt ends.
class TEchoOff {
public:
    TEchoOff() {
        if (::tcgetattr(STDIN_FILENO, &gSavedTerminal) != 0)
            return;
        struct termios quiet = gSavedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        gTerminalChanged = 1;
        if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0)
            gTerminalChanged = 0;
    }
    ~TEchoOff() {
        if (gTerminalChanged)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
        gTerminalChanged = 0;
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;
};

TSecretBytes ReadKey() {
    TSecretBytes text;
    if (::isatty(STDIN_FILENO)) {
        {
            // Echo goes off before the prompt appears: switching it flushes pending input, and
            // nothing typed after the prompt may be lost that way.
            TEchoOff echoOff;
            std::fputs("Key: ", stderr);
            std::fflush(stderr);
            text = ReadKeyLine(STDIN_FILENO);
        }
        // The user's Enter was not echoed.
        std::fputs("\n", stderr);
    } else {
        text = ReadKeyLine(STDIN_FILENO);
    }
    if (text.empty())
        throw TSfxError("no key was given; an empty key cannot be used. Nothing was written.");
    try {
        return EncodeKeyCp1251(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    } catch (const std::exception& e) {
        throw TSfxError(std::string(e.what()) + " Nothing was written.");
    }
}

// ---- the work ---------------------------------------------------------------------------------

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
        errno = 0;
        if (!elf_image_detail::ReadAt(self.Fd.Get(), buffer.data(), n, pos))
            throw TSfxError("cannot read the encrypted data from its own file: " +
                            std::string(errno != 0 ? ErrnoText(errno) : "the file got shorter"));
        DecryptBuffer(state, buffer.data(), buffer.data(), n);
        out.Write(buffer.data(), n);
        pos += n;
    }
}

int Run(int argc, char** argv, const std::string& program, const std::string& startedAs) {
    const TOptions opt = ParseOptions(argc, argv);
    if (opt.Help) {
        PrintHelp(program, startedAs);
        return ExitOk;
    }
    InstallSignalCleanup();
    TSelfFile self(startedAs);
    const std::string output = OutputPath(opt, startedAs);
    TOutputFile out(CheckOutput(output, opt.Force, self.Stat));
    const TSecretBytes key = ReadKey();
    Restore(self, key, out);
    out.Commit(opt.Force);
    // Standard error, since standard output may be the restored file itself.
    std::fprintf(stderr, "Restored %s (%llu bytes).\n", output.c_str(),
                 static_cast<unsigned long long>(self.Size - self.PayloadStart));
    return ExitOk;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything else, as the key will be in this process's memory.
    ForbidCoreDumps();
    const std::string startedAs = StartedAs(argc, argv);
    const std::string program = BaseName(startedAs);
    try {
        return Run(argc, argv, program, startedAs);
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), e.what(),
                     program.c_str());
        return ExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        return ExitFailure;
    }
}
