// SPDX-License-Identifier: MIT
#pragma once
// Where a block record's written bytes go once it has gathered a batch of them. By itself the
// record writes each block to its descriptor the moment the block is full; a sink attached to
// it (the writer thread of BlockWriter.h) takes whole batches instead. The record fills the
// sink's buffer with no call at all and calls the sink once a batch, so the sink knows nothing
// of the record and the record nothing of the thread.

#include <cstddef>
#include <cstdint>
#include <exception>

constexpr int32_t BlockSize = 10240;

// What went wrong in the sink since it was last asked: short writes (each one is told as the
// plain writer tells it) and, last, the error that stopped it.
struct TWriterFailures {
    int ShortWrites = 0;
    std::exception_ptr Error;
};

class TBlockSink {
public:
    // The buffer being filled, BatchBytes() bytes long.
    [[nodiscard]] virtual uint8_t* Current() const = 0;
    // How many bytes fill a buffer: a whole number of blocks.
    [[nodiscard]] virtual std::size_t BatchBytes() const = 0;
    // Takes the first n bytes of the current buffer and returns the next buffer to fill.
    [[nodiscard]] virtual uint8_t* Submit(std::size_t n) = 0;
    // Waits until everything handed over has been written, or the sink has stopped.
    virtual void Drain() = 0;
    // Takes what the sink has met since the last call.
    [[nodiscard]] virtual TWriterFailures TakeFailures() = 0;

protected:
    // Not deleted through this interface: whoever makes a sink owns it.
    ~TBlockSink() = default;
};
