// SPDX-License-Identifier: MIT
#pragma once
// A file descriptor with one owner: closed when the owner goes, on every path, exceptions
// included, so that no descriptor leaks into a later open's number or into a child process.

#include <cerrno>
#include <utility>

#include <unistd.h>

class TUniqueFd {
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : Fd(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.Fd, -1));
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() { Reset(); }

    [[nodiscard]] int Get() const { return Fd; }
    [[nodiscard]] bool Valid() const { return Fd >= 0; }
    explicit operator bool() const { return Valid(); }

    // Gives the descriptor up without closing it.
    [[nodiscard]] int Release() { return std::exchange(Fd, -1); }

    // Closes the descriptor held (its error is of no use here) and takes fd instead.
    void Reset(int fd = -1) {
        const int old = std::exchange(Fd, fd);
        if (old >= 0)
            (void)::close(old);
    }

    // Closes the descriptor and tells whether the close succeeded: for a file that was written,
    // a failed close can be the first sign that the bytes did not reach it. On failure errno
    // says why. The descriptor is gone either way (Linux never lets it be closed again).
    [[nodiscard]] bool Close() {
        const int old = std::exchange(Fd, -1);
        return old < 0 || ::close(old) == 0;
    }

private:
    int Fd = -1;
};
