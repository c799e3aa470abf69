// SPDX-License-Identifier: MIT
#pragma once
// Runs a program on a pseudo-terminal of its own, as a user at a terminal would: its standard
// input, output and error are the terminal, and each answer is typed, followed by Enter, when
// the program's output ends with a prompt (":"). TPtySession does the same step by step, for
// tests that look at the screen and the terminal's modes between keystrokes.

#include "support/Process.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

struct TPtyResult {
    int ExitCode = -1; // -1 when the program did not exit normally
    bool TimedOut = false;
    std::string Output; // everything the terminal showed (line ends as CR LF)
};

inline TPtyResult RunOnPty(const std::vector<std::string>& argv, const std::string& cwd,
                           const std::vector<std::string>& answers, int timeoutSeconds = 60) {
    const std::vector<char*> args = ExecArgs(argv);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
            ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    TPtyResult r;
    if (pid < 0)
        return r;
    std::size_t answered = 0;
    std::size_t promptSeenAt = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        const auto left = MsUntil(deadline);
        if (left <= 0) {
            r.TimedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd pfd{master, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            break; // EIO: the program has closed the terminal
        r.Output.append(buf, static_cast<std::size_t>(n));
        if (answered < answers.size() && r.Output.size() > promptSeenAt && r.Output.back() == ':') {
            const std::string line = answers[answered++] + "\n";
            (void)!::write(master, line.data(), line.size());
            promptSeenAt = r.Output.size();
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        r.ExitCode = WEXITSTATUS(status);
    return r;
}

// A child process on a pseudo-terminal of its own, running body (whose result is its exit
// status), and the terminal's far end: what it has shown, what is typed at it.
class TPtySession {
public:
    explicit TPtySession(const std::function<int()>& body) {
        Pid = ::forkpty(&Master, nullptr, nullptr, nullptr);
        if (Pid == 0)
            ::_exit(body());
    }
    ~TPtySession() {
        if (Pid > 0 && !Reaped) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
        if (Master >= 0)
            ::close(Master);
    }
    TPtySession(const TPtySession&) = delete;
    TPtySession& operator=(const TPtySession&) = delete;

    // Reads what the terminal shows until want appears at or after byte from; the bound is
    // for a machine under load.
    bool ShowsAfter(std::size_t from, const std::string& want) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (Screen.find(want, from) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd p{Master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buf[512];
            const ssize_t n = ::read(Master, buf, sizeof buf);
            if (n <= 0)
                break;
            Screen.append(buf, static_cast<std::size_t>(n));
        }
        return Screen.find(want, from) != std::string::npos;
    }
    bool Shows(const std::string& want) { return ShowsAfter(0, want); }

    void Type(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            pollfd p{Master, POLLOUT, 0};
            if (::poll(&p, 1, 20000) <= 0)
                return;
            const ssize_t n = ::write(Master, text.data() + done, text.size() - done);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }

    [[nodiscard]] bool Echoes() const {
        termios t{};
        return ::tcgetattr(Master, &t) == 0 && (t.c_lflag & ECHO) != 0;
    }

    // The child's wait status, once it has ended; what the terminal showed until then is read.
    int Wait() {
        Shows("\x01"); // drains the output until the child closes the terminal
        int status = 0;
        ::waitpid(Pid, &status, 0);
        Reaped = true;
        return status;
    }

    pid_t Pid = -1;
    int Master = -1;
    std::string Screen;

private:
    bool Reaped = false;
};
