#pragma once
// Runs a program as a real process, with given standard input, and collects its exit status
// and both output streams.

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct TProcessResult {
    int Status = -1; // exit status, or 128 + signal
    std::string Out;
    std::string Err;
};

inline TProcessResult RunProcess(const std::vector<std::string>& argv,
                                 const std::string& input = {},
                                 const std::vector<std::string>& unsetEnv = {},
                                 const std::string& cwd = {}) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        for (const auto& name : unsetEnv)
            unsetenv(name.c_str());
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // A program may exit without reading all its input; that must not kill the test.
    std::signal(SIGPIPE, SIG_IGN);
    // Feed the input and drain both outputs together, so that no pipe fills up and blocks.
    int inFd = in[1], outFd = out[0], errFd = err[0];
    std::size_t written = 0;
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    TProcessResult result;
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (poll(fds, 3, 120000) <= 0)
            break;
        char buf[65536];
        for (int k = 0; k < 2; ++k) {
            int& fd = k == 0 ? outFd : errFd;
            if (fd < 0 || !fds[k].revents)
                continue;
            const ssize_t got = read(fd, buf, sizeof buf);
            if (got <= 0) {
                close(fd);
                fd = -1;
            } else {
                (k == 0 ? result.Out : result.Err).append(buf, static_cast<std::size_t>(got));
            }
        }
        if (inFd >= 0 && fds[2].revents) {
            const ssize_t put = write(inFd, input.data() + written, input.size() - written);
            if (put > 0)
                written += static_cast<std::size_t>(put);
            if (put <= 0 || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
    }
    for (int fd : {inFd, outFd, errFd})
        if (fd >= 0)
            close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
