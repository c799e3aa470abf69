// SPDX-License-Identifier: MIT
#include "cipher/StandardDescriptors.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> gClosedAtStart{0};

} // namespace

void OpenMissingStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // Not close-on-exec: a program started from here finds the same three descriptors.
        const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got < 0)
            continue;
        if (got != fd) {
            ::dup2(got, fd);
            ::close(got);
        }
        gClosedAtStart |= 1u << fd;
    }
}

bool StandardDescriptorWasClosed(int fd) {
    return fd >= 0 && fd <= 2 && (gClosedAtStart.load() & (1u << fd)) != 0;
}
