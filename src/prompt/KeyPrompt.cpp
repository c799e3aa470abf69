// SPDX-License-Identifier: MIT
#include "prompt/KeyPrompt.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <string>
#include <termios.h>
#include <unistd.h>

EKeyLine::EKeyLine(TReason reason, int errorCode)
    : std::runtime_error(reason == TReason::TooLong
                             ? std::string("the key line is longer than 64 KiB")
                             : "cannot read the key line: " +
                                   std::string(std::strerror(errorCode))),
      Reason(reason), ErrorCode(errorCode) {}

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
            throw EKeyLine(EKeyLine::TReason::ReadFailed, errno);
        if (got == 0)
            break;
        if (line.data()[size] == '\n') {
            ended = true;
            break;
        }
        if (size >= MaxKeyLine)
            throw EKeyLine(EKeyLine::TReason::TooLong, 0);
        ++size;
    }
    if (ended && size > 0 && line.data()[size - 1] == '\r')
        --size;
    line.Shrink(size);
    return line;
}

namespace {

// ---- the terminal, and the signals that must not leave it without echo -----------------------
// A program stopped at the prompt by Ctrl-C, Ctrl-\, a closed terminal or kill would leave the
// shell without echo, and one stopped by Ctrl-Z would hand the terminal back without echo and
// get it back from the shell (bash puts its own modes back) with echo on, showing the rest of
// the key. The handler puts the terminal back with async-signal-safe calls only and hands the
// signal on to whatever handled it before (the default action, or the output's handler that
// removes its temporary file and then hands it on in turn). Should the program still run after
// that (continued after Ctrl-Z, or a handler that returns), echo goes off again and, after a
// stop, the prompt is shown again. What the handler reads is set before it is installed.

constexpr std::array<int, 5> PromptSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

struct termios gSaved;
volatile sig_atomic_t gEchoOff = 0;
struct sigaction gOurs;
struct sigaction gPrevious[PromptSignals.size()];
bool gCaught[PromptSignals.size()];
const char* gPrompt = nullptr;
std::size_t gPromptSize = 0;

void EchoOff(int when) {
    struct termios quiet = gSaved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    gEchoOff = 1;
    if (::tcsetattr(STDIN_FILENO, when, &quiet) != 0)
        gEchoOff = 0;
}

extern "C" void OnPromptSignal(int sig) {
    const int savedErrno = errno;
    const bool wasOff = gEchoOff != 0;
    if (wasOff)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &gSaved);
    gEchoOff = 0;
    std::size_t k = 0;
    while (k < PromptSignals.size() && PromptSignals[k] != sig)
        ++k;
    if (k == PromptSignals.size()) {
        errno = savedErrno;
        return;
    }
    // Blocked while this handler runs: unblocked, it is delivered at once to the previous action.
    ::sigaction(sig, &gPrevious[k], nullptr);
    ::raise(sig);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::pthread_sigmask(SIG_BLOCK, &one, nullptr);
    // Still running, and still at the prompt.
    ::sigaction(sig, &gOurs, nullptr);
    if (wasOff) {
        // The shell may have set the terminal while the program was stopped: what it holds now
        // is what is put back when the prompt ends.
        struct termios now;
        if (::tcgetattr(STDIN_FILENO, &now) == 0)
            gSaved = now;
        EchoOff(TCSAFLUSH);
        if (sig == SIGTSTP && gPrompt != nullptr)
            (void)!::write(STDERR_FILENO, gPrompt, gPromptSize);
    }
    errno = savedErrno;
}

// Keeps the prompt's signals out while the terminal and the handlers change hands, so that a
// handler never sees them half set.
class TPromptSignalsHeld {
public:
    TPromptSignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : PromptSignals)
            sigaddset(&set, s);
        ::pthread_sigmask(SIG_BLOCK, &set, &Old);
    }
    ~TPromptSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &Old, nullptr); }
    TPromptSignalsHeld(const TPromptSignalsHeld&) = delete;
    TPromptSignalsHeld& operator=(const TPromptSignalsHeld&) = delete;

private:
    sigset_t Old;
};

// Echo off on standard input, and the handlers above, for the life of one prompt.
class TTerminalPrompt {
public:
    explicit TTerminalPrompt(std::string_view prompt) {
        TPromptSignalsHeld held;
        gPrompt = prompt.data();
        gPromptSize = prompt.size();
        gOurs = {};
        gOurs.sa_handler = OnPromptSignal;
        // A read that Ctrl-Z interrupted goes on once the program is continued.
        gOurs.sa_flags = SA_RESTART;
        sigemptyset(&gOurs.sa_mask);
        for (int s : PromptSignals)
            sigaddset(&gOurs.sa_mask, s);
        for (std::size_t k = 0; k < PromptSignals.size(); ++k) {
            gCaught[k] = false;
            struct sigaction old {};
            if (::sigaction(PromptSignals[k], nullptr, &old) != 0)
                continue;
            // A signal the program was started to ignore (nohup) stays ignored.
            if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN)
                continue;
            gPrevious[k] = old;
            gCaught[k] = ::sigaction(PromptSignals[k], &gOurs, nullptr) == 0;
        }
        // Echo goes off before the prompt appears, and switching it flushes pending input:
        // nothing typed after the prompt is lost that way, and nothing typed before it (shown
        // as it was typed) is taken for the key.
        if (::tcgetattr(STDIN_FILENO, &gSaved) == 0)
            EchoOff(TCSAFLUSH);
    }
    ~TTerminalPrompt() {
        TPromptSignalsHeld held;
        // After a failed read the rest of the line is thrown away with the terminal's pending
        // input, so that the shell does not take what is left of a key for a command.
        if (gEchoOff)
            ::tcsetattr(STDIN_FILENO, Finished ? TCSANOW : TCSAFLUSH, &gSaved);
        gEchoOff = 0;
        for (std::size_t k = 0; k < PromptSignals.size(); ++k)
            if (gCaught[k])
                ::sigaction(PromptSignals[k], &gPrevious[k], nullptr);
        gPrompt = nullptr;
        gPromptSize = 0;
    }
    TTerminalPrompt(const TTerminalPrompt&) = delete;
    TTerminalPrompt& operator=(const TTerminalPrompt&) = delete;

    void Finish() { Finished = true; }

private:
    bool Finished = false;
};

} // namespace

TSecretBytes AskKeyLine(std::string_view prompt) {
    if (!::isatty(STDIN_FILENO))
        return ReadKeyLine(STDIN_FILENO);
    TSecretBytes line;
    {
        TTerminalPrompt terminal(prompt);
        std::fwrite(prompt.data(), 1, prompt.size(), stderr);
        std::fflush(stderr);
        line = ReadKeyLine(STDIN_FILENO);
        terminal.Finish();
    }
    // The Enter that ended the line was not echoed either.
    std::fputs("\n", stderr);
    return line;
}
