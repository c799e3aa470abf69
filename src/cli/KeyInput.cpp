#include "cli/KeyInput.h"

#include "ops/Operations.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <termios.h>
#include <unistd.h>

namespace {

// Longer lines are refused rather than cut: only the first 255 bytes count anyway, and a file
// with no line end in its first 64 KiB is not a key file.
constexpr std::size_t MaxKeyLine = 64 * 1024;

// A line of key text, held where it is wiped after use.
struct TKeyLine {
    TSecretBytes Buffer{MaxKeyLine};
    std::size_t Length = 0;
    [[nodiscard]] std::string_view Text() const {
        return {reinterpret_cast<const char*>(Buffer.data()), Length};
    }
};

// One line from fd without its line end ("\n" or "\r\n"), read a byte at a time so that no
// other buffer keeps a copy and nothing after the line is taken from a shared descriptor.
void ReadKeyLine(int fd, const std::string& from, TKeyLine& line) {
    bool ended = false;
    for (;;) {
        uint8_t c = 0;
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw TStartError(Format(Translated("Cli", "cannot read the key from %1: %2"),
                                     {from, IOErrorText(errno)}));
        if (got == 0)
            break;
        if (c == '\n') {
            ended = true;
            break;
        }
        if (line.Length >= MaxKeyLine)
            throw TStartError(
                Format(Translated("Cli", "the key line from %1 is longer than 64 KiB"), {from}));
        line.Buffer.data()[line.Length++] = c;
    }
    if (ended && line.Length > 0 && line.Buffer.data()[line.Length - 1] == '\r')
        --line.Length;
}

// ---- the terminal ---------------------------------------------------------------------------
// Ctrl-C at the prompt must not leave the terminal without echo: the handler puts it back with
// async-signal-safe calls only, then the signal takes its default course.

struct termios gSaved;
volatile sig_atomic_t gEchoOff = 0;

extern "C" void RestoreTerminalAndDie(int sig) {
    if (gEchoOff)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &gSaved);
    ::raise(sig); // SA_RESETHAND has restored the default action
}

class TEchoOff {
public:
    TEchoOff() {
        struct sigaction sa {};
        sa.sa_handler = RestoreTerminalAndDie;
        sa.sa_flags = SA_RESETHAND;
        sigemptyset(&sa.sa_mask);
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            ::sigaction(Signals[i], &sa, &Old[i]);
        if (::tcgetattr(STDIN_FILENO, &gSaved) != 0)
            return;
        struct termios quiet = gSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        gEchoOff = 1;
        // Echo goes off before the prompt appears: nothing typed after it is shown.
        if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0)
            gEchoOff = 0;
    }
    ~TEchoOff() {
        if (gEchoOff)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &gSaved);
        gEchoOff = 0;
        for (std::size_t i = 0; i < std::size(Signals); ++i)
            ::sigaction(Signals[i], &Old[i], nullptr);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

private:
    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    struct sigaction Old[std::size(Signals)]{};
};

// Where a key came from, as the messages above name it.
std::string TerminalSource() {
    //: Where the key was read from, after "from" in "cannot read the key from %1".
    return Translated("Cli", "the terminal");
}

void Prompt(const char* text, TKeyLine& line) {
    {
        TEchoOff echoOff;
        std::fputs(text, stderr);
        std::fflush(stderr);
        ReadKeyLine(STDIN_FILENO, TerminalSource(), line);
    }
    // The Enter that ended the line was not echoed either.
    std::fputs("\n", stderr);
}

TSecretBytes ToKey(const TKeyLine& line, const std::string& from) {
    if (line.Length == 0)
        throw TStartError(
            Format(Translated("Cli", "the key from %1 is empty; nothing was written"), {from}));
    try {
        return ops::KeyBytes(line.Text());
    } catch (const std::exception& e) {
        throw TStartError(Format(Translated("Cli", "%1 Nothing was written."), {e.what()}));
    }
}

} // namespace

TSecretBytes ReadCliKey(const TCliOptions& options, bool confirm) {
    TKeyLine line;
    if (options.KeyFile && *options.KeyFile == "-") {
        const std::string from = Translated("Cli", "standard input");
        ReadKeyLine(STDIN_FILENO, from, line);
        return ToKey(line, from);
    }
    if (options.KeyFile) {
        const std::string& path = *options.KeyFile;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw TStartError(Format(Translated("Cli", "cannot open the key file %1: %2"),
                                     {path, IOErrorText(errno)}));
        try {
            ReadKeyLine(fd, path, line);
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
        ReadKeyLine(*options.KeyFd, from, line);
        return ToKey(line, from);
    }
    if (!::isatty(STDIN_FILENO))
        throw TStartError(Translated("Cli", "no key: standard input is not a terminal to ask on, "
                                            "so give the key with --key-file PATH or --key-fd N. "
                                            "Nothing was written."));
    // The prompts end in a colon in every language: a program that types the key for the
    // user waits for it.
    Prompt(Translated("Cli", "Key:"), line);
    if (confirm) {
        TKeyLine again;
        Prompt(Translated("Cli", "Key again:"), again);
        if (again.Text() != line.Text())
            throw TStartError(Translated("Cli", "the two keys typed differ; nothing was written"));
    }
    return ToKey(line, TerminalSource());
}
