// SPDX-License-Identifier: MIT
#pragma once
// Writes a file's blocks on a thread of its own, so that the kernel's work of writing (and of
// reading the source ahead) is done on another core while the transform produces the next
// bytes. The bytes, their order and the file they make are those of the plain block writer;
// only the system calls move, and they grow to several whole blocks each.
//
// The thread is kept when every core carries a transform (calyxor-cli -j) too: its writes go to
// the device directly and cost little CPU, but each one waits for the device, and on the
// transform's own thread that wait would stop the transform (docs/performance.md has the
// figures). Where no thread can be had, the caller writes each batch itself, with the same
// system calls, and the file is the same.
//
// The thread never talks to the user: what it meets is kept, and told on the thread that
// hands it the bytes, in the order the plain writer would have told it.

#include "cipher/BlockSink.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

// Sixty-four blocks a write: 640 KiB, a multiple of twenty pages of 4 KiB, so that every write
// starts on a page of the target and fills whole ones (a block that splits pages makes the
// kernel copy into half-filled pages twice). Large enough that waking the thread, which costs
// tens of microseconds on a virtual machine, is paid once per 640 KiB rather than per 80 KiB.
constexpr int32_t BatchBlocks = 64;
constexpr int32_t BatchSize = BatchBlocks * BlockSize;

// A sink for a block record (AttachSink in BlockFile.h).
class TBlockWriter final : public TBlockSink {
public:
    // Writes to fd, which stays the caller's to close (after this object is gone); the thread
    // starts with the first batch. source, when given, is the mapped source the bytes come
    // from: between its writes the thread reads it ahead of the transform, so that the
    // transform finds the pages already in memory instead of faulting them in. mayWriteDirect:
    // fd is a file this program opened itself, whose flags it may change while it writes (see
    // WriteBatch); a descriptor it was given may be shared with other processes, and is never
    // changed.
    explicit TBlockWriter(int fd, const uint8_t* source = nullptr, int64_t sourceSize = 0,
                          bool mayWriteDirect = false);
    // Stops the thread; what has been handed over and not yet written is dropped, as the plain
    // writer never gets to write past an error.
    ~TBlockWriter();
    TBlockWriter(const TBlockWriter&) = delete;
    TBlockWriter& operator=(const TBlockWriter&) = delete;

    // The buffer being filled: BatchSize bytes.
    [[nodiscard]] uint8_t* Current() const override { return Buffers[Filling]; }
    [[nodiscard]] std::size_t BatchBytes() const override { return BatchSize; }
    // Hands the first n bytes of the current buffer to the thread and returns the next buffer
    // to fill. Waits while every buffer is in flight, unless the thread has stopped on an error.
    // Writes the bytes itself when no thread can be started.
    [[nodiscard]] uint8_t* Submit(std::size_t n) override;
    // Waits until everything handed over has been written, or the thread has stopped.
    void Drain() override;
    // Takes what the thread has met since the last call.
    [[nodiscard]] TWriterFailures TakeFailures() override;

    // Where the transform is in the source.
    void Reached(int64_t offset) { Position.store(offset, std::memory_order_relaxed); }

private:
    static constexpr int Count = 6;
    static constexpr std::size_t RingBytes = std::size_t{Count} * BatchSize;

    void Run();
    // Starts the thread unless it runs already; false when none can be had.
    [[nodiscard]] bool HaveThread();
    void WriteHere(std::size_t n);
    // Writes one batch and says what it met: a batch cut short, or the error that stops the
    // run. Runs on whichever thread owns the descriptor at the time.
    void WriteOne(const uint8_t* data, std::size_t n, bool* cut, std::exception_ptr* error,
                  std::size_t* written);
    [[nodiscard]] int WriteBatch(const uint8_t* data, std::size_t n, std::size_t* written);
    bool SetDirect(bool on);
    void ReadAhead();
    void StartWriteback(std::size_t written);

    const int File;
    uint8_t* Buffers[Count] = {};
    std::size_t Lengths[Count] = {};
    int Filling = 0; // the caller's buffer

    std::mutex Lock;
    std::condition_variable WorkReady;
    std::condition_variable SpaceReady;
    // Buffers handed over and not yet written are Queued of them, starting at Next.
    int Next = 0;
    int Queued = 0;
    bool Stopping = false;
    bool Failed = false; // the writing has stopped on an error
    // The thread is between taking a batch and going back to wait: until then, the descriptor
    // and the reading ahead are its own.
    bool Working = false;
    TWriterFailures Failures;

    // The thread's own: the source, how far it has been read ahead, and how.
    const uint8_t* Source;
    const int64_t SourceSize;
    int64_t ReadUpTo = 0;
    bool Populate = true;
    std::atomic<int64_t> Position{0};
    // For a regular file: bytes written since the device was last asked to start on them.
    bool Regular = false;
    int64_t Unflushed = 0;
    // Direct writes (see WriteBatch): the alignment the file system asks of them, 0 when they
    // are not used; where the next batch lands; the descriptor's own flags; whether O_DIRECT
    // is set on it now (changed by the thread, and by Drain once the thread is idle).
    int64_t DirectAlign = 0;
    int64_t Offset = 0;
    int FileFlags = 0;
    bool DirectOn = false;

    std::thread Thread;
};
