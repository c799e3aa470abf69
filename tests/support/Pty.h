// SPDX-License-Identifier: MIT
#pragma once
// Runs a program on a pseudo-terminal of its own, as a user at a terminal would: its standard
// input, output and error are the terminal, and each answer is typed, followed by Enter, when
// the program's output ends with a prompt (":").

#include "support/Process.h"

#include <chrono>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
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
