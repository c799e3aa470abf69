// SPDX-License-Identifier: MIT
#pragma once
// Runs a program the way a user or another program would, with the limits a fault needs: a
// file-size limit, another user, a working folder, a key on standard input, and a deadline so
// that a program that blocks fails the test instead of hanging it.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

struct TRunOptions {
    std::string Cwd;
    std::string Stdin;
    std::optional<rlim_t> FileSizeLimit; // bytes; SIGXFSZ is ignored so writes come out short
    std::optional<uid_t> User;           // run as this user and group (and no other groups)
    std::vector<std::string> Env;        // NAME=value added to the environment
    std::vector<std::string> Unset;      // names removed from the environment (DISPLAY, say)
    int TimeoutSeconds = 60;
};

struct TRunResult {
    int ExitCode = -1; // -1 when the program did not exit normally
    int Signal = 0;    // the signal that ended it, 0 when it exited
    bool TimedOut = false;
    std::string Out;
    std::string Err;
    [[nodiscard]] bool Exited() const { return !TimedOut && Signal == 0 && ExitCode >= 0; }
};

// argv as execv takes it: argv[0] is the program's path. Built before fork, so that the child
// does as little as it can between fork and exec.
inline std::vector<char*> ExecArgs(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

// Milliseconds from now until deadline; 0 or less once it has passed.
inline long long MsUntil(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
        .count();
}

inline TRunResult RunProgram(const std::vector<std::string>& argv, const TRunOptions& opt = {}) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
        std::abort();
    const std::vector<char*> args = ExecArgs(argv);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::setpgid(0, 0);
        if (!opt.Cwd.empty() && ::chdir(opt.Cwd.c_str()) != 0)
            ::_exit(126);
        if (opt.FileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN); // an ignored signal stays ignored across exec
            const rlimit lim{*opt.FileSizeLimit, *opt.FileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        if (opt.User) {
            const gid_t gid = *opt.User;
            if (::setgroups(0, nullptr) || ::setresgid(gid, gid, gid) ||
                ::setresuid(*opt.User, *opt.User, *opt.User))
                ::_exit(125);
        }
        for (const auto& name : opt.Unset)
            ::unsetenv(name.c_str());
        for (const auto& e : opt.Env)
            ::putenv(const_cast<char*>(e.c_str()));
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // The key is short: it fits in the pipe, and a program that never reads it is no problem
    // (nor one that has already gone: that must not kill the test).
    ::signal(SIGPIPE, SIG_IGN);
    if (!opt.Stdin.empty())
        (void)!::write(in[1], opt.Stdin.data(), opt.Stdin.size());
    ::close(in[1]);

    TRunResult r;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(opt.TimeoutSeconds);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.Out, &r.Err};
    int open = 2;
    while (open > 0) {
        const auto left = MsUntil(deadline);
        if (left <= 0) {
            r.TimedOut = true;
            ::kill(-pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0)
            ::close(f.fd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        r.ExitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.Signal = WTERMSIG(status);
    return r;
}

// FNV-1a over the whole file: enough to see that not one byte of a source has changed.
inline uint64_t FileHash(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    uint64_t h = 1469598103934665603ull;
    for (std::istreambuf_iterator<char> it(in), end; it != end; ++it)
        h = (h ^ static_cast<uint8_t>(*it)) * 1099511628211ull;
    return h;
}

inline bool PathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

inline bool CanPtrace() {
    static const bool ok =
        RunProgram({"/usr/bin/strace", "-qq", "-e", "trace=none", "/bin/true"}).ExitCode == 0;
    return ok;
}

inline bool CanMakeUserNamespace() {
    static const bool ok = RunProgram({"/usr/bin/unshare", "-Urm", "/bin/true"}).ExitCode == 0;
    return ok;
}

// The plain user the permission faults run as; they mean nothing to root.
constexpr uid_t NobodyId = 65534;
