// SPDX-License-Identifier: MIT
// What this machine can do with a whole file under the same duties as `calyxor ENC`: map the
// source, run a textbook RC4 over it, write the result in 640 KiB blocks and fsync it before
// closing. Whole-file figures are told as ratios against this program, run beside them, so that
// they say how much the program adds to the work itself rather than how fast the machine is.
//
//   calyxor_yardstick SOURCE TARGET
//
// One thread, no reading ahead, no tuning: the figure is the plain way of doing the job.

#include "Rc4.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t Chunk = 640 << 10;

int Fail(const char* what, const char* path) {
    std::fprintf(stderr, "calyxor_yardstick: %s %s: %s\n", what, path, std::strerror(errno));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: calyxor_yardstick SOURCE TARGET\n");
        return 2;
    }
    const int in = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0)
        return Fail("cannot open", argv[1]);
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0)
        return 0;
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, in, 0);
    if (view == MAP_FAILED)
        return Fail("cannot map", argv[1]);
    ::madvise(view, size, MADV_SEQUENTIAL);
    const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0)
        return Fail("cannot create", argv[2]);

    static constexpr uint8_t Key[] = {'b', 'e', 'n', 'c', 'h', ' ', 'k', 'e', 'y'};
    TRc4 rc4(Key);
    std::vector<uint8_t> block(Chunk);
    const auto* source = static_cast<const uint8_t*>(view);
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(Chunk, size - done);
        rc4.Run(source + done, block.data(), n);
        for (std::size_t put = 0; put < n;) {
            const ssize_t w = ::write(out, block.data() + put, n - put);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return Fail("cannot write", argv[2]);
            put += static_cast<std::size_t>(w);
        }
        done += n;
    }
    if (::fsync(out) != 0 || ::close(out) != 0)
        return Fail("cannot flush", argv[2]);
    ::munmap(view, size);
    ::close(in);
    return 0;
}
