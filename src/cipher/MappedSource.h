// SPDX-License-Identifier: MIT
#pragma once
// The source of a transform, read through one read-only mapping of the whole file, and the
// guard that keeps a source cut short by another program from crashing the run: its pages
// past the new end fault (SIGBUS) when they are read, and the guard turns exactly those faults
// into a failed step. Faults anywhere else still reach whoever handled SIGBUS before.

#include "cipher/core/Transform.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/stat.h>

class TMappedSource {
public:
    // Raises Exception for a missing file or folder ("File does not exist."), for anything but
    // a regular file, and for a file that cannot be opened, is empty or cannot be mapped.
    explicit TMappedSource(const std::string& path);
    ~TMappedSource();
    TMappedSource(const TMappedSource&) = delete;
    TMappedSource& operator=(const TMappedSource&) = delete;

    // Lets go of the pages before offset, so that memory stays flat however large the file.
    void Release(int64_t offset);

    // True when the file at the path is no longer what was mapped, or has been written since:
    // appended bytes were never read, and a file saved anew under the name is another file.
    // Either way the target is not a whole copy, and the source must not be wiped after it.
    [[nodiscard]] bool ChangedSinceMapped() const;

    const std::string Path;
    const uint8_t* Data = nullptr;
    int64_t Size = 0;
    int64_t Released = 0;
    struct stat Stat {};
};

using TBufferFn = void (*)(TTransformState&, const uint8_t*, uint8_t*, std::size_t);

// Runs fn over the n source bytes from offset into out. False when reading the source faulted
// (the file became shorter); out then holds an unknown part of the result. A fault at any
// other address is not this guard's business: it goes on to the previous SIGBUS handler, or
// ends the process as it would have without the guard.
[[nodiscard]] bool GuardedTransform(const TMappedSource& src, TBufferFn fn, TTransformState& state,
                                    int64_t offset, uint8_t* out, std::size_t n);

// Reads one byte of each page of data[from, to) on the calling thread. False when that faulted
// (the file became shorter since it was mapped). On some virtual machines the first read of a
// mapped page costs microseconds even when the page is in memory and mapped; done on another
// thread ahead of the transform, that cost is paid there instead of on the transform's chain.
[[nodiscard]] bool GuardedTouch(const uint8_t* data, int64_t size, int64_t from, int64_t to);
