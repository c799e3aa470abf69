// SPDX-License-Identifier: MIT
#pragma once
// The bookkeeping that finds where an executable's own image ends inside its file.

#include <cstdint>

// The furthest byte of the file that an executable's headers account for, grown one extent at
// a time. An extent that reaches past the file means the file was cut short: no end found in
// it could be trusted, and Inside() says so.
class TImageExtent {
public:
    TImageExtent(uint64_t fileSize, uint64_t headers) : FileSize(fileSize), Last(headers) {}

    void Extend(uint64_t offset, uint64_t size) {
        if (offset > FileSize || size > FileSize - offset)
            InFile = false;
        else if (offset + size > Last)
            Last = offset + size;
    }
    [[nodiscard]] bool Inside() const { return InFile; }
    [[nodiscard]] uint64_t End() const { return Last; }

private:
    uint64_t FileSize;
    uint64_t Last;
    bool InFile = true;
};
