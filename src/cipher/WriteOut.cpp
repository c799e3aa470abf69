// SPDX-License-Identifier: MIT
#include "cipher/WriteOut.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

int WriteOut(int fd, const uint8_t* data, std::size_t n, std::size_t* written) {
    std::size_t done = 0;
    int err = 0;
    while (done < n) {
        const ssize_t put = ::write(fd, data + done, n - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put == 0) {
            err = EIO;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor someone else set non-blocking: wait until it takes bytes again. A
            // reader that left shows as POLLERR, and the next write says EPIPE.
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, -1) < 0 && errno != EINTR) {
                err = errno;
                break;
            }
            continue;
        }
        err = errno;
        break;
    }
    if (written)
        *written = done;
    return err;
}
